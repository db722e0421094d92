#pragma once
// Every statement on the photo rows (table fj) and a registration's photo
// mark, built apart from the windows so each can be checked without one.

#include <QString>

QString photoRowsStatement(int registrationId);        // select * from fj where uid=<r>
QString photoFileOfStatement(int registrationId);      // select * from fj where uid= <r>
QString enabledPhotoRowStatement(int registrationId);  // SELECT * FROM fj where status=1 and  uid=<r>
QString insertPhotoRowStatement(int registrationId, const QString& storedName);
QString replacePhotoFileStatement(int registrationId, const QString& storedName);
QString deletePhotoRowStatement(int photoRowId);       // delete * from fj where id=<id>
// imgid of the registration: the fj row of its photo.
QString linkPhotoStatement(int registrationId, qint64 photoRowId);
QString clearPhotoMarkStatement(int registrationId);   // UPDATE bmb SET imgid=0 where id=<r>

// The photo files kept on a server (table photofile), by stored name.
QString photoBytesStatement(const QString& storedName);
// Whether the server has the file, without reading its bytes.
QString photoOnServerStatement(const QString& storedName);
QString insertPhotoBytesRowStatement(const QString& storedName);
