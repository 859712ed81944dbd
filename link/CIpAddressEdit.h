#pragma once

#include <QString>
#include <QWidget>

#include <array>

class QFrame;
class QLineEdit;

namespace kvt::link {

// An IPv4 address entry: four numeric fields of 0 to 255 separated by
// points, drawn as one framed box. Typing a point, or a third digit, moves
// on to the next field; Backspace in an empty field goes back to the one
// before. Text() gives the address in dotted decimal form as the fields
// show it: leading zeros are dropped and an empty field stays empty, so a
// blank entry gives "..." (which no VISA resource accepts).
class CIpAddressEdit : public QWidget {
    Q_OBJECT

public:
    explicit CIpAddressEdit(QWidget* parent = nullptr);

    QString Text() const;
    // Fills the fields from a dotted text; fields beyond four are ignored.
    void SetText(const QString& text);
    QLineEdit* Field(int index) const { return m_fields.at(static_cast<size_t>(index)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void OnFieldEdited(int index, const QString& text);
    void FocusField(int index);

    QFrame* m_frame = nullptr;
    std::array<QLineEdit*, 4> m_fields{};
};

}  // namespace kvt::link
