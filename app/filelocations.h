#pragma once

#include <QString>
#include <functional>

// Where the program keeps the files it writes.
//
// The folder a technician unpacks from the archive (and the program on Windows) is the
// whole program: KVT.INI, the COM<N> links and the firmware backups live beside the
// program, as they always have. The program installed by the Debian package lives in
// /usr/bin, which no user may write to and root must not: it keeps the same files in
// each user's own folders instead, KVT.INI and the COM<N> links in
// $XDG_CONFIG_HOME/KVT (~/.config/KVT) and the backups in $XDG_DATA_HOME/KVT
// (~/.local/share/KVT).
//
// The package says which case it is: it alone installs the marker file below, found
// relative to the program's folder. A folder name would guess wrong for a package
// unpacked elsewhere (dpkg-deb -x into any root) and for a technician's folder that
// happens to sit under /usr/local or /opt.
struct FileLocations {
    QString programFolder;  // the program's own folder (avrdude is looked for there)
    QString settingsFolder; // KVT.INI and the COM<N> links
    QString backupFolder;   // the firmware backups
    bool perUser = false;   // the packaged program: the two folders are the user's own
    // Why the user's folders cannot be known (empty when they can): the packaged program
    // with no home folder and no absolute XDG folder does not guess one under /.
    QString error;

    // Relative to the program's folder: /usr/bin/../share/kvt/per-user-files.
    static constexpr const char *PackageMarker = "../share/kvt/per-user-files";

    // `environment` returns a variable's value (empty when unset), `homeFolder` is the
    // user's home (HOME; empty when unset, and a relative one counts as none).
    // Following the XDG base directory rules, XDG_CONFIG_HOME and XDG_DATA_HOME count
    // only when they hold an absolute path.
    static FileLocations locate(const QString &programFolder, const QString &homeFolder,
                                const std::function<QString(const char *)> &environment);
};
