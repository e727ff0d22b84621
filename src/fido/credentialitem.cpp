#include "fido/credentialitem.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>

namespace {

QLineEdit* makeCell(QWidget* parent, const QString& text, const QMargins& margins)
{
    auto* cell = new QLineEdit(text, parent);
    cell->setAlignment(Qt::AlignLeft);
    cell->setFont(QFont(QStringLiteral("Microsoft YaHei"), 11, 40));
    cell->setStyleSheet(QStringLiteral("border-width:0;border-style:outset;background:transparent;"));
    cell->setFocusPolicy(Qt::NoFocus);
    cell->setCursorPosition(1);
    cell->setContentsMargins(margins);
    // The cells only display text; a click on them must reach the list, which selects the row.
    cell->setAttribute(Qt::WA_TransparentForMouseEvents);
    return cell;
}

} // namespace

CredentialItem::CredentialItem(QWidget* parent, Credential credential)
    : QWidget(parent), m_credential(std::move(credential))
{
    m_checkBox = new QCheckBox(this);
    m_checkBox->setAccessibleName(m_credential.userName + QStringLiteral(" at ") + m_credential.rpId);
    m_rpId = makeCell(this, m_credential.rpId, QMargins(0, 0, 10, 0));
    m_user = makeCell(this, m_credential.userName, QMargins(10, 0, 0, 0));

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_checkBox, 1);
    layout->addWidget(m_rpId, 10);
    layout->addWidget(m_user, 10);
    // Only the cells are transparent, so the selection shows through them: a transparent check
    // box loses its outline under some styles (Fusion) and an unticked box disappears.

    connect(m_checkBox, &QCheckBox::clicked, this, &CredentialItem::checkBox_State_Change);
}

void CredentialItem::setCheckState(bool checked)
{
    m_checkBox->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

bool CredentialItem::getCheckState() const
{
    return m_checkBox->checkState() == Qt::Checked;
}

void CredentialItem::checkBox_State_Change()
{
    emit SendItem(m_credential);
}
