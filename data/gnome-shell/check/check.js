// Loads the GNOME Shell 45+ form of the extension as GNOME Shell would (an ES module whose default
// export extends Extension), enables it on a session bus, asks its interface for the windows,
// and disables it. Exits 0 when all of that works, 1 with the reason otherwise.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import {Extension} from './stubs/extension.js';
import VeilmarkExtension from './extension.js';

const dir = Gio.File.new_for_path(ARGV[0]);
const loop = new GLib.MainLoop(null, false);
let status = 1;
function fail(message) {
    printerr(`check-module: ${message}`);
    loop.quit();
}

if (!(VeilmarkExtension.prototype instanceof Extension)) {
    printerr('check-module: the default export does not extend Extension');
    imports.system.exit(1);
}
const extension = new VeilmarkExtension({uuid: 'veilmark@veilmark.org', dir});
extension.enable();
Gio.bus_watch_name(Gio.BusType.SESSION, 'org.veilmark.Shell', Gio.BusNameWatcherFlags.NONE, connection => {
    connection.call('org.veilmark.Shell', '/org/veilmark/Shell', 'org.veilmark.Shell1', 'ListWindows', null,
        new GLib.VariantType('(a(tsubb))'), Gio.DBusCallFlags.NONE, 5000, null, (bus, result) => {
            try {
                const [windows] = bus.call_finish(result).deepUnpack();
                if (windows.length !== 0)
                    return fail(`ListWindows listed ${windows.length} windows where there are none`);
                extension.disable();
                status = 0;
                loop.quit();
            } catch (e) {
                fail(`ListWindows failed: ${e.message}`);
            }
        });
}, null);
GLib.timeout_add_seconds(GLib.PRIORITY_DEFAULT, 10, () => fail('the extension did not take its bus name'));
loop.run();
imports.system.exit(status);
