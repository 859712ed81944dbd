#include "link/CIpAddressEdit.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

namespace kvt::link {
namespace {

constexpr int kFieldCount = 4;
constexpr int kHighestByte = 255;

// A field's text as the address shows it: its decimal value without
// leading zeros, at most 255, or empty.
QString Normalised(const QString& text) {
    if (text.isEmpty()) {
        return text;
    }
    bool ok = false;
    int value = text.toInt(&ok);
    if (!ok) {
        return QString();
    }
    return QString::number(value > kHighestByte ? kHighestByte : value);
}

// Up to three digits worth at most 255: a keystroke that would make more
// is refused, so a field never shows an impossible byte.
class ByteValidator final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& /*position*/) const override {
        if (input.isEmpty()) {
            return Intermediate;
        }
        if (input.size() > 3) {
            return Invalid;
        }
        for (QChar c : input) {
            if (!c.isDigit() || c.unicode() > '9') {
                return Invalid;
            }
        }
        return input.toInt() <= kHighestByte ? Acceptable : Invalid;
    }
};

}  // namespace

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QWidget(parent) {
    // The four fields share one frame, as one edit box would look.
    auto* frame = new QFrame(this);
    m_frame = frame;
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setAutoFillBackground(true);
    frame->setBackgroundRole(QPalette::Base);
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(0);
    for (int i = 0; i < kFieldCount; ++i) {
        auto* field = new QLineEdit(frame);
        field->setObjectName(QStringLiteral("ipField%1").arg(i));
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(3);
        field->setValidator(new ByteValidator(field));
        // Room for three digits and the cursor, no more: the four fields
        // and their points make one compact box.
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 4);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this,
                [this, i](const QString& text) { OnFieldEdited(i, text); });
        connect(field, &QLineEdit::editingFinished, this, [field] {
            const QString shown = Normalised(field->text());
            if (shown != field->text()) {
                field->setText(shown);
            }
        });
        m_fields[static_cast<size_t>(i)] = field;
        row->addWidget(field, 1);
        if (i + 1 < kFieldCount) {
            auto* dot = new QLabel(QStringLiteral("."), frame);
            dot->setAlignment(Qt::AlignCenter);
            row->addWidget(dot);
        }
    }
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusProxy(m_fields[0]);
}

QString CIpAddressEdit::Text() const {
    QStringList parts;
    for (const QLineEdit* field : m_fields) {
        parts.append(Normalised(field->text()));
    }
    return parts.join(QLatin1Char('.'));
}

void CIpAddressEdit::SetText(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    for (int i = 0; i < kFieldCount; ++i) {
        m_fields[static_cast<size_t>(i)]->setText(i < parts.size() ? Normalised(parts[i])
                                                                   : QString());
    }
}

void CIpAddressEdit::FocusField(int index) {
    if (index >= 0 && index < kFieldCount) {
        QLineEdit* field = m_fields[static_cast<size_t>(index)];
        field->setFocus();
        field->selectAll();
    }
}

void CIpAddressEdit::OnFieldEdited(int index, const QString& text) {
    if (text.size() == 3) {
        FocusField(index + 1);
    }
}

bool CIpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        for (int i = 0; i < kFieldCount; ++i) {
            QLineEdit* field = m_fields[static_cast<size_t>(i)];
            if (watched != field) {
                continue;
            }
            // A point ends the field, as in the address boxes users know.
            if (key->text() == QStringLiteral(".")) {
                if (!field->text().isEmpty()) {
                    FocusField(i + 1);
                }
                return true;
            }
            if (key->key() == Qt::Key_Backspace && field->text().isEmpty() && i > 0) {
                FocusField(i - 1);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CIpAddressEdit::changeEvent(QEvent* event) {
    // A disabled entry greys its whole box, not just the digits.
    if (event->type() == QEvent::EnabledChange) {
        m_frame->setBackgroundRole(isEnabled() ? QPalette::Base : QPalette::Window);
    }
    QWidget::changeEvent(event);
}

}  // namespace kvt::link
