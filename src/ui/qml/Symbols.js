.pragma library

// The one table from the symbol names the views use to glyphs of the bundled Material Icons
// font (data/icons). Every view draws its symbols through Symbol.qml, which looks them up here.
var codePoints = {
    "app.badge.checkmark": 0xef40,          // app_registration
    "app.fill": 0xe5c3,                     // apps
    "arrow.up": 0xe5d8,                     // arrow_upward
    "building.2.fill": 0xea40,              // apartment
    "checkmark.circle.fill": 0xe86c,        // check_circle
    "checkmark.seal": 0xe8e8,               // verified_user
    "checkmark.seal.fill": 0xef76,          // verified
    "chevron.right": 0xe5cc,                // chevron_right
    "circle": 0xe836,                       // radio_button_unchecked
    "circle.lefthalf.filled": 0xeb37,       // contrast
    "clock.arrow.circlepath": 0xe889,       // history
    "exclamationmark.shield.fill": 0xf014,  // gpp_maybe
    "exclamationmark.triangle.fill": 0xe002, // warning
    "folder.badge.questionmark": 0xeb83,    // folder_off
    "folder.fill": 0xe2c7,                  // folder
    "folder.fill.badge.gearshape": 0xe617,  // folder_special
    "gearshape.fill": 0xe8b8,               // settings
    "key.fill": 0xe73c,                     // key
    "laptopcomputer": 0xe31e,               // laptop
    "lock.app.dashed": 0xef3f,              // app_blocking
    "lock.fill": 0xe897,                    // lock
    "lock.open.fill": 0xe898,               // lock_open
    "lock.shield.fill": 0xe32a,             // security
    "macwindow": 0xe069,                    // web_asset
    "minus": 0xe15b,                        // remove
    "moon.fill": 0xe51c,                    // dark_mode
    "moon.zzz.fill": 0xef44,                // bedtime
    "person.crop.circle.badge.checkmark": 0xe174, // how_to_reg
    "person.fill": 0xe7fd,                  // person
    "plus": 0xe145,                         // add
    "power": 0xe8ac,                        // power_settings_new
    "rectangle.on.rectangle.slash": 0xf023, // hide_source
    "sun.max.fill": 0xe518,                 // light_mode
    "timer": 0xe425,                        // timer
    "touchid": 0xe90d,                      // fingerprint
    "trash": 0xe872,                        // delete
    "xmark": 0xe5cd,                        // close
    "xmark.octagon.fill": 0xe99a            // dangerous
};

function glyph(name) {
    var code = codePoints[name];
    return code === undefined ? "" : String.fromCodePoint(code);
}

function has(name) {
    return codePoints[name] !== undefined;
}
