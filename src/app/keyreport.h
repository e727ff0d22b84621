#pragma once

#include "app/json.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QString>

// What the window has learned about the plugged key from the backend's replies, for the key
// report an administrator files. Only facts, never a secret, a name or a credential ID: the
// fields are listed in docs/key-report.md.
class KeyReport
{
public:
    static constexpr int kFormatVersion = 1;

    // Learns from the reply to a command of `type`.
    void noteReply(int type, const JSON_OBJ& reply);
    // The PIV slot the next certificate reply describes.
    void expectPivSlot(const QString& slot) { m_pivSlot = slot; }
    // The key was removed: nothing known any more.
    void forgetAll();

    QJsonObject toJson(const QDateTime& written) const;
    // Written atomically: the old file stays whole when anything fails.
    bool save(const QString& path, QString* error) const;

private:
    void noteDetails(const JSON_OBJ& reply);
    void noteFidoPin(const JSON_OBJ& reply);
    void notePivCertificate(const JSON_OBJ& reply);
    void noteOtpSlots(const JSON_OBJ& reply);

    QJsonObject m_device;
    QJsonArray m_applications;
    QJsonArray m_transports;
    QJsonObject m_fido;
    QString m_pivSlot;
    QMap<QString, QJsonValue> m_pivSlots;
    QJsonValue m_otpSlots;
};
