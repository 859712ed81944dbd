#include "app/CDlgSamplesTrigger.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/CoreCommands.h"
#include "link/ExchangeSequence.h"
#include "views/CWaitCursor.h"

namespace kvt::app {

CDlgSamplesTrigger::CDlgSamplesTrigger(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Samples/Trigger"));
    setModal(true);

    m_count = new QLineEdit(this);
    m_count->setFixedWidth(140);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* field = new QHBoxLayout;
    field->addStretch(1);
    field->addWidget(m_count);
    field->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 30, 40, 16);
    layout->addLayout(field);
    layout->addSpacing(24);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

void CDlgSamplesTrigger::accept() {
    {
        views::CWaitCursor wait;
        link::ExchangeSequence sequence;
        link::SetSampleCount(m_count->text().toStdString());
    }
    QDialog::accept();
}

}  // namespace kvt::app
