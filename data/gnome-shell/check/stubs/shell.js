// Stands in for gi://Shell, which only exists inside GNOME Shell.
export default {WindowTracker: {get_default: () => ({get_window_app: () => null})}};
