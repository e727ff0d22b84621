#include "piv/publickeyfolder.h"

#include <QDir>
#include <QRegularExpression>

namespace {

// The path travels unquoted on the command line, so a temporary folder named with blanks or
// quotes is not used.
QString baseFolder()
{
    static const QRegularExpression plain(QStringLiteral(R"(^[A-Za-z0-9_./-]+$)"));
    const QString temp = QDir::tempPath();
    return plain.match(temp).hasMatch() ? temp : QStringLiteral("/tmp");
}

} // namespace

QString PublicKeyFolder::filePath()
{
    if (!m_dir)
        m_dir = std::make_unique<QTemporaryDir>(baseFolder() + QStringLiteral("/skm-XXXXXX"));
    if (!m_dir->isValid()) {
        m_dir.reset();
        return QString();
    }
    return m_dir->filePath(QStringLiteral("public"));
}

void PublicKeyFolder::remove()
{
    m_dir.reset();
}
