// What the extension does, written once for both extension formats: the wrappers around it
// (legacy.js.in for GNOME Shell 43 and 44, module.js.in for 45 and later) only import the libraries
// and hand them in. Its D-Bus interface is org.veilmark.Shell1.xml beside this file, where each
// method and signal is described.
function createVeilmarkShell({Gio, GLib, Meta, Shell, Main}, dir) {
    const busName = 'org.veilmark.Shell';
    const objectPath = '/org/veilmark/Shell';
    const veilmarkName = 'org.veilmark.Veilmark';
    const [, xml] = dir.get_child('org.veilmark.Shell1.xml').load_contents(null);
    const interfaceXml = new TextDecoder().decode(xml);

    let exported = null;
    let nameId = 0;
    let connections = []; // [object, handler id] to disconnect on disable
    const windows = new Map(); // listed Meta.Window → its handler ids, in the order they appeared
    let shield = null; // {pid, title, watchId} while the shield is on
    // Windows that have been shown: Mutter must not be asked to stack or fullscreen a window it has
    // not placed yet (it aborts), so a window of the shield is held once it shows.
    const shown = new WeakSet();

    const listedTypes = [Meta.WindowType.NORMAL, Meta.WindowType.DIALOG, Meta.WindowType.MODAL_DIALOG];

    // The desktop-file ID the shell matched the window to, else what the window calls itself.
    function appId(window) {
        const app = Shell.WindowTracker.get_default().get_window_app(window);
        const id = app ? app.get_id() : '';
        if (id && !id.startsWith('window:'))
            return id.replace(/\.desktop$/, '');
        return window.get_gtk_application_id() || window.get_wm_class() || '';
    }

    function describe(window) {
        return [window.get_id(), appId(window), Math.max(window.get_pid(), 0),
            window === global.display.focus_window, window.minimized];
    }

    function emit(signal, signature, value) {
        exported?.emit_signal(signal, new GLib.Variant(signature, [value]));
    }

    function findWindow(id) {
        return [...windows.keys()].find(window => window.get_id() === id) ?? null;
    }

    function track(window) {
        if (windows.has(window) || !listedTypes.includes(window.get_window_type()))
            return;
        const changed = () => emit('WindowChanged', '((tsubb))', describe(window));
        windows.set(window, [
            window.connect('notify::wm-class', changed),
            window.connect('notify::gtk-application-id', changed),
            window.connect('notify::minimized', changed),
            window.connect('unmanaged', () => {
                untrack(window);
                emit('WindowRemoved', '(t)', window.get_id());
            }),
            // Veilmark names the window by a title it may set a moment after asking.
            window.connect('notify::title', () => keepShieldFocus(global.display.focus_window)),
        ]);
        whenDrawn(window, () => {
            shown.add(window);
            shieldWindow(window);
            keepShieldFocus(global.display.focus_window);
        });
        emit('WindowAdded', '((tsubb))', describe(window));
        shieldWindow(window);
    }

    // A new window counts as shown once its actor has drawn its first frame.
    function whenDrawn(window, callback) {
        const actor = window.get_compositor_private();
        if (!actor) {
            GLib.idle_add(GLib.PRIORITY_DEFAULT, () => {
                if (windows.has(window))
                    whenDrawn(window, callback);
                return GLib.SOURCE_REMOVE;
            });
            return;
        }
        // Out of the signal: Mutter is still placing the window while it emits it.
        const id = actor.connect('first-frame', () => {
            actor.disconnect(id);
            GLib.idle_add(GLib.PRIORITY_DEFAULT, () => {
                if (windows.has(window))
                    callback();
                return GLib.SOURCE_REMOVE;
            });
        });
    }

    function untrack(window) {
        windows.get(window)?.forEach(id => window.disconnect(id));
        windows.delete(window);
    }

    function focusChanged() {
        const focus = global.display.focus_window;
        emit('WindowFocused', '(t)', windows.has(focus) ? focus.get_id() : 0);
        keepShieldFocus(focus);
    }

    // The process that owns org.veilmark.Veilmark, when it is the caller; else an error, so that
    // no other process can put its windows above everything or bring back a hidden window.
    function busCall(method, argument) {
        return new Promise((resolve, reject) => {
            Gio.DBus.session.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                method, new GLib.Variant('(s)', [argument]), null, Gio.DBusCallFlags.NONE, -1, null,
                (bus, result) => {
                    try {
                        resolve(bus.call_finish(result).deepUnpack()[0]);
                    } catch (e) {
                        reject(e);
                    }
                });
        });
    }
    async function veilmarkCaller(invocation) {
        const owner = await busCall('GetNameOwner', veilmarkName).catch(() => null);
        if (owner) {
            const [ownerPid, callerPid] = await Promise.all([busCall('GetConnectionUnixProcessID', owner),
                busCall('GetConnectionUnixProcessID', invocation.get_sender())]);
            if (ownerPid === callerPid)
                return ownerPid;
        }
        throw new Error(`only the process that owns ${veilmarkName} may call ${invocation.get_method_name()}`);
    }
    // Calls are carried out in the order they came: one whose caller must first be checked (a few
    // bus round trips) is not overtaken by the next (Veilmark takes its shield down, then brings
    // the unlocked application forward).
    let queue = Promise.resolve();
    function inOrder(invocation, action) {
        queue = queue.then(action).then(value => invocation.return_value(value), e => {
            invocation.return_dbus_error(e.name?.startsWith('org.') ? e.name : 'org.veilmark.Shell1.Error.Failed',
                e.message);
        });
    }
    function forVeilmark(invocation, action) {
        inOrder(invocation, () => veilmarkCaller(invocation).then(action, e => {
            throw Object.assign(new Error(e.message), {name: 'org.veilmark.Shell1.Error.NotVeilmark'});
        }));
    }

    const isShield = window => shield !== null && window !== null && window.get_pid() === shield.pid;

    function shieldWindow(window) {
        if (!isShield(window) || !shown.has(window))
            return;
        if (window.minimized)
            window.unminimize();
        window.make_above();
        window.stick();
        if (!window.is_fullscreen())
            window.make_fullscreen();
    }

    // The keyboard stays on the shield window Veilmark names (the one holding its prompt), else on any
    // of the shield's windows.
    function keepShieldFocus(focus) {
        if (shield === null)
            return;
        const mine = [...windows.keys()].filter(window => isShield(window) && shown.has(window));
        const titled = mine.find(window => window.get_title() === shield.title);
        if (titled ? focus === titled : isShield(focus))
            return;
        const target = titled ?? mine[0];
        if (target)
            Main.activateWindow(target);
        else if (focus !== null)
            // Until the shield's first window shows, the keyboard goes to no window at all, rather
            // than to the one the shell would give it to (the next one down, when the protected
            // application has just been minimized).
            global.display.unset_input_focus(global.display.get_current_time_roundtrip());
    }

    function setShield(pid, on, title) {
        if (shield !== null) {
            Gio.bus_unwatch_name(shield.watchId);
            const released = [...windows.keys()].filter(isShield);
            shield = null;
            Main.messageTray.bannerBlocked = false;
            released.forEach(window => {
                window.unmake_above();
                window.unstick();
            });
        }
        if (!on)
            return;
        // Veilmark gone from the bus (quit, crashed) takes the shield with it.
        const watchId = Gio.bus_watch_name_on_connection(Gio.DBus.session, veilmarkName,
            Gio.BusNameWatcherFlags.NONE, null, () => setShield(0, false, ''));
        shield = {pid, title, watchId};
        windows.forEach((_, window) => shieldWindow(window));
        // Notification banners are drawn above every window; they wait until the shield is down.
        Main.messageTray.bannerBlocked = true;
        if (Main.overview.visible)
            Main.overview.hide();
        keepShieldFocus(global.display.focus_window);
    }

    const service = {
        ListWindows() {
            return [...windows.keys()].map(describe);
        },
        MinimizeWindowAsync([id], invocation) {
            inOrder(invocation, () => {
                const window = findWindow(id);
                if (window === null || isShield(window))
                    return new GLib.Variant('(b)', [false]);
                window.minimize();
                return new GLib.Variant('(b)', [true]);
            });
        },
        ActivateWindowAsync([id], invocation) {
            inOrder(invocation, () => {
                const window = findWindow(id);
                if (window !== null)
                    Main.activateWindow(window);
                return new GLib.Variant('(b)', [window !== null]);
            });
        },
        UnminimizeWindowAsync([id], invocation) {
            forVeilmark(invocation, () => {
                const window = findWindow(id);
                window?.unminimize();
                return new GLib.Variant('(b)', [window !== null]);
            });
        },
        SetShieldAsync([on, title], invocation) {
            forVeilmark(invocation, pid => {
                setShield(pid, on, title);
                return null;
            });
        },
    };

    return {
        enable() {
            exported = Gio.DBusExportedObject.wrapJSObject(interfaceXml, service);
            exported.export(Gio.DBus.session, objectPath);
            global.get_window_actors().map(actor => actor.meta_window)
                .sort((a, b) => a.get_stable_sequence() - b.get_stable_sequence()).forEach(window => {
                    shown.add(window);
                    track(window);
                });
            connections = [
                [global.display, global.display.connect('window-created', (display, window) => track(window))],
                [global.display, global.display.connect('notify::focus-window', focusChanged)],
                // The overview would cover the shield and take the keyboard.
                [Main.overview, Main.overview.connect('showing', () => {
                    if (shield !== null)
                        Main.overview.hide();
                })],
            ];
            nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, busName, Gio.BusNameOwnerFlags.NONE,
                null, null);
        },
        disable() {
            Gio.bus_unown_name(nameId);
            nameId = 0;
            setShield(0, false, '');
            connections.forEach(([object, id]) => object.disconnect(id));
            connections = [];
            [...windows.keys()].forEach(untrack);
            exported.unexport();
            exported = null;
        },
    };
}
