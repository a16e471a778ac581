// Stands in for resource:///org/gnome/shell/extensions/extension.js: the base class GNOME Shell 45
// and later construct an extension from, with its metadata and directory.
export class Extension {
    constructor(metadata) {
        this.metadata = metadata;
        this.dir = metadata.dir;
    }
}
