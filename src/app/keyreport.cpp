#include "app/keyreport.h"

#include "app/commands.h"
#include "support/protocol.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QSaveFile>

namespace {

const char kFormatName[] = "skm-key-report";
// FIDO2 answers: no PIN set yet, and no resident credential stored.
constexpr quint32 kFidoPinNotSet = 0x35;
constexpr quint32 kFidoNoCredentials = 0xF0;

// Reply member names and the report's names for the key's details.
const QList<QPair<QByteArray, QString>> kDetails = {{"NAME", QStringLiteral("name")},
                                                    {"MODULE", QStringLiteral("model")},
                                                    {"PID", QStringLiteral("pid_vid")},
                                                    {"COS_VERSION", QStringLiteral("firmware")},
                                                    {"SERIAL_NUMBER", QStringLiteral("serial")}};

QJsonArray splitList(const QByteArray& text)
{
    QJsonArray list;
    for (const QString& item : QString::fromUtf8(text).split(QLatin1Char('+'), Qt::SkipEmptyParts))
        list.append(item.trimmed());
    return list;
}

QString text(const TextMap& map, const QByteArray& key)
{
    return QString::fromUtf8(map.value(key));
}

// The record that names a detail last has the final word; found from the end, so that a reply of
// many records costs no more than one.
const TextMap* lastNaming(const QVector<TextMap>& records, const QByteArray& key)
{
    for (auto it = records.crbegin(); it != records.crend(); ++it)
        if (it->contains(key))
            return &*it;
    return nullptr;
}

} // namespace

void KeyReport::noteReply(int type, const JSON_OBJ& reply)
{
    switch (type) {
    case CmdType::Startup:
    case CmdType::DeviceInfo:
        noteDetails(reply);
        break;
    case CmdType::FidoPinRetries:
        noteFidoPin(reply);
        break;
    case CmdType::FidoListCredentials:
        if (reply.SW == Status::Success || reply.SW == kFidoNoCredentials)
            m_fido.insert(QStringLiteral("resident_credentials"), reply.SW == Status::Success ? reply.DATA.size() : 0);
        break;
    case CmdType::FidoEnumerate:
        if (reply.SW == Status::Success)
            m_fido.insert(QStringLiteral("fingerprints"), reply.DATA.size());
        break;
    case CmdType::PivReadObject:
        notePivCertificate(reply);
        break;
    case CmdType::OtpList:
        noteOtpSlots(reply);
        break;
    default:
        break;
    }
}

void KeyReport::noteDetails(const JSON_OBJ& reply)
{
    if (reply.SW != Status::Success)
        return;
    for (const auto& detail : kDetails)
        if (const TextMap* map = lastNaming(reply.DATA, detail.first))
            m_device.insert(detail.second, text(*map, detail.first));
    if (const TextMap* map = lastNaming(reply.DATA, "APPLICATION"))
        m_applications = splitList(map->value("APPLICATION"));
    if (const TextMap* map = lastNaming(reply.DATA, "TRANSPORT"))
        m_transports = splitList(map->value("TRANSPORT"));
}

void KeyReport::noteFidoPin(const JSON_OBJ& reply)
{
    if (reply.SW == kFidoPinNotSet) {
        m_fido.insert(QStringLiteral("pin_set"), false);
        m_fido.remove(QStringLiteral("pin_retries"));
        return;
    }
    if (reply.SW != Status::Success)
        return;
    m_fido.insert(QStringLiteral("pin_set"), true);
    for (const TextMap& map : reply.DATA)
        if (map.contains("RETRIES"))
            m_fido.insert(QStringLiteral("pin_retries"), map.value("RETRIES").toInt());
}

void KeyReport::notePivCertificate(const JSON_OBJ& reply)
{
    if (m_pivSlot.isEmpty())
        return;
    QJsonObject certificate;
    for (const TextMap& map : reply.DATA) {
        if (map.contains("SBJECT"))
            certificate.insert(QStringLiteral("subject"), text(map, "SBJECT"));
        if (map.contains("ISSUER"))
            certificate.insert(QStringLiteral("issuer"), text(map, "ISSUER"));
        if (map.contains("VALIDITY"))
            certificate.insert(QStringLiteral("validity"), text(map, "VALIDITY"));
        if (map.contains("ALGORITHM"))
            certificate.insert(QStringLiteral("algorithm"), text(map, "ALGORITHM"));
    }
    m_pivSlots.insert(m_pivSlot, reply.SW == Status::Success ? QJsonValue(certificate) : QJsonValue());
    m_pivSlot.clear();
}

// INFO names the slots the key has ("slot_1 slot_2"); DATA has one record per configured slot,
// numbered from 0. The slot's name and secret are left out.
void KeyReport::noteOtpSlots(const JSON_OBJ& reply)
{
    if (reply.SW != Status::Success)
        return;
    QJsonArray otpSlots;
    const QStringList present = QString::fromUtf8(reply.INFO).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int index = 0; index < present.size(); ++index) {
        QJsonObject slot{{QStringLiteral("slot"), index + 1}, {QStringLiteral("configured"), false}};
        for (const TextMap& map : reply.DATA) {
            if (map.value("slot").toInt() == index) {
                slot.insert(QStringLiteral("configured"), true);
                slot.insert(QStringLiteral("type"), text(map, "type"));
            }
        }
        otpSlots.append(slot);
    }
    m_otpSlots = otpSlots;
}

void KeyReport::forgetAll()
{
    *this = KeyReport();
}

QJsonObject KeyReport::toJson(const QDateTime& written) const
{
    QJsonObject piv;
    for (auto it = m_pivSlots.cbegin(); it != m_pivSlots.cend(); ++it)
        piv.insert(it.key(), it.value());
    return {{QStringLiteral("format"), QLatin1String(kFormatName)},
            {QStringLiteral("version"), kFormatVersion},
            {QStringLiteral("written"), written.toUTC().toString(Qt::ISODate)},
            {QStringLiteral("device"), m_device},
            {QStringLiteral("applications"), m_applications},
            {QStringLiteral("transports"), m_transports},
            {QStringLiteral("fido"), m_fido},
            {QStringLiteral("piv_slots"), piv},
            {QStringLiteral("otp_slots"), m_otpSlots}};
}

bool KeyReport::save(const QString& path, QString* error) const
{
    QSaveFile file(path);
    const QByteArray bytes = QJsonDocument(toJson(QDateTime::currentDateTimeUtc())).toJson(QJsonDocument::Indented);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    *error = file.errorString();
    return false;
}
