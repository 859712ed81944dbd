#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QAbstractButton;
class QLabel;
class QWidget;

namespace kvt::panel {

// The front panel's skin: the Qt Designer UI file "FrontPanel.xml" built
// into widgets, with every control the panel addresses checked once by
// name and kind, so that a broken skin is reported instead of leaving the
// panel with a missing control.
class CFrontPanelSkin {
public:
    enum class Kind { Button, Label, Container };

    struct Control {
        QString name;
        Kind kind;
    };

    // The controls the panel looks up, with the kind each must have.
    static const QList<Control>& RequiredControls();

    // Builds the skin at path as a child of parent. On failure returns
    // false, leaves nothing behind and puts into *error a message that
    // names the file and what is wrong with it.
    bool Load(const QString& path, QWidget* parent, QString* error);

    QWidget* Root() const { return m_root; }
    QLabel* Label(const QString& name) const;
    QAbstractButton* Button(const QString& name) const;
    QWidget* Widget(const QString& name) const;
    // Every button of the skin, named or not, for click dispatch.
    QList<QAbstractButton*> Buttons() const;

private:
    QWidget* m_root = nullptr;
    QHash<QString, QWidget*> m_controls;
};

}  // namespace kvt::panel
