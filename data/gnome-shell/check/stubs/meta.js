// Stands in for gi://Meta, which only exists inside GNOME Shell: what the extension reads of it.
export default {WindowType: {NORMAL: 0, DIALOG: 3, MODAL_DIALOG: 4}};
