#pragma once
// Where the program keeps its data (zhao.dat, duzarizered.ini, photo/,
// backup/): beside the executable in a program directory of its own (a copy of
// the build's bin folder), in the user's data folder when the program is
// installed, or in the folder named on the command line with --data.

#include <QString>

// The file that marks an installed program directory (the package puts it
// there): such a directory is shared by every user, and no user's data is
// kept in it.
extern const QString installedMarkerName;

struct DataFolderFacts {
    QString namedFolder;      // --data DIR as given; empty when not given
    QString workingDir;       // a relative named folder is taken from here
    QString programDir;       // the executable's directory
    bool installed = false;   // programDir holds the installed marker
    QString userDataHome;     // the user's data home (~/.local/share, or $XDG_DATA_HOME)
};

// The data folder these facts call for: the named folder, else the user's
// data home's brenvo for an installed program, else the program directory.
QString chooseDataFolder(const DataFolderFacts& facts);

// The facts of this process, with namedFolder from its command line.
DataFolderFacts currentDataFolderFacts(const QString& namedFolder);

// Makes the chosen data folder ready, and gives false with the reason (for
// the operator) when it cannot be used. The program directory itself is used
// as it stands. Another folder is created when it is the user's data folder
// (a named one must exist already: a mistyped name or a disk not mounted is
// said, not filled with a new database), and is given the files the program
// ships for its data that it lacks; it gets a new zhao.dat when it has none
// and no backup or set-aside copy to recover one from.
bool prepareDataFolder(const DataFolderFacts& facts, const QString& dataFolder, QString* error);

// A page the program ships (help.htm, brenvo.htm), read from the program
// directory: an update of the program brings new pages to every data folder.
QString shippedPage(const QString& name);
