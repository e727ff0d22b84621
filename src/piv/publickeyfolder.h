#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

// The public key of a new pair travels from the key generation to the certificate or request in
// a file. That file lives in a folder private to this user (0700, unpredictable name), made for
// the operation and removed with it, so no other user can read, replace or block it.
class PublicKeyFolder
{
public:
    // The file's path, making the folder on first use; empty when no private folder can be made.
    QString filePath();
    // Removes the folder and the key file in it.
    void remove();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};
