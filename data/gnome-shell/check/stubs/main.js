// Stands in for resource:///org/gnome/shell/ui/main.js: the overview and message tray, with no
// windows anywhere.
const signals = {connect: () => 1, disconnect() {}};
export const overview = {...signals, visible: false, hide() {}};
export const messageTray = {bannerBlocked: false};
export function activateWindow() {}
globalThis.global = {
    display: {...signals, focus_window: null},
    get_window_actors: () => [],
};
