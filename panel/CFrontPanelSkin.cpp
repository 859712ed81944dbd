#include "panel/CFrontPanelSkin.h"

#include <QAbstractButton>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QUiLoader>
#include <QWidget>

#include "panel/KVTSoftKeyPanel.h"
#include "panel/TinyMenuCells.h"

namespace kvt::panel {
namespace {

QList<CFrontPanelSkin::Control> BuildRequiredControls() {
    using Kind = CFrontPanelSkin::Kind;
    QList<CFrontPanelSkin::Control> controls;
    for (const char* name :
         {"btnDCV",   "btnACV",      "btn2W",   "btn-11-",  "btnCont",   "btnTemp", "btn2nd",
          "btnShift", "btnAcquire",  "btnMath", "btnRun",   "btnSingle", "btnOK",   "btnIncrease",
          "btnRange", "btnDecrease", "btnLeft", "btnRight", "btnFront",  "btnBack", "btnF1",
          "btnF2",    "btnF3",       "btnF4",   "btnF5",    "btnF6"}) {
        controls.append({name, Kind::Button});
    }
    for (const char* name : {"Label2nd", "LabelShift", "LabelTitle", "LabelValue", "LabelRange",
                             "LabelUnit", "LabelTempMeasVal", "LabelTempMeasValUnit"}) {
        controls.append({name, Kind::Label});
    }
    for (const char* name : {"ContainerMain", "ContainerTempMeasVal", "TinyMenu"}) {
        controls.append({name, Kind::Container});
    }
    for (const KVTSoftKeyPanel& key : SoftKeyPanels()) {
        // The container shows the key text, so it is a label too.
        for (const std::string* name : {&key.container, &key.nameLabel, &key.valueLabel,
                                        &key.value1Label, &key.value2Label}) {
            controls.append({QString::fromStdString(*name), Kind::Label});
        }
    }
    for (int i = 0; i < kTinyMenuCells; ++i) {
        controls.append({QString("labelPop%1").arg(i), Kind::Label});
    }
    return controls;
}

bool HasKind(QWidget* widget, CFrontPanelSkin::Kind kind) {
    switch (kind) {
        case CFrontPanelSkin::Kind::Button:
            return qobject_cast<QAbstractButton*>(widget) != nullptr;
        case CFrontPanelSkin::Kind::Label:
            return qobject_cast<QLabel*>(widget) != nullptr;
        case CFrontPanelSkin::Kind::Container:
            return true;
    }
    return false;
}

const char* KindText(CFrontPanelSkin::Kind kind) {
    switch (kind) {
        case CFrontPanelSkin::Kind::Button:
            return "a button";
        case CFrontPanelSkin::Kind::Label:
            return "a label";
        case CFrontPanelSkin::Kind::Container:
            return "a widget";
    }
    return "";
}

}  // namespace

const QList<CFrontPanelSkin::Control>& CFrontPanelSkin::RequiredControls() {
    static const QList<Control> controls = BuildRequiredControls();
    return controls;
}

bool CFrontPanelSkin::Load(const QString& path, QWidget* parent, QString* error) {
    auto fail = [&](const QString& reason) {
        if (error != nullptr) {
            *error = QString("The front-panel skin \"%1\" %2")
                         .arg(QFileInfo(path).absoluteFilePath(), reason);
        }
        return false;
    };
    if (!QFileInfo::exists(path)) {
        return fail("does not exist.");
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return fail("cannot be read: " + file.errorString() + ".");
    }
    QUiLoader loader;
    QWidget* root = loader.load(&file, parent);
    if (root == nullptr) {
        const QString reason = loader.errorString();
        return fail("is not a user-interface file" +
                    (reason.isEmpty() ? QString(".") : ": " + reason.trimmed()));
    }

    QHash<QString, QWidget*> controls;
    QStringList missing;
    QStringList wrongKind;
    for (const Control& control : RequiredControls()) {
        QWidget* widget =
            root->objectName() == control.name ? root : root->findChild<QWidget*>(control.name);
        if (widget == nullptr) {
            missing.append(control.name);
        } else if (!HasKind(widget, control.kind)) {
            wrongKind.append(QString("%1 (must be %2)").arg(control.name, KindText(control.kind)));
        } else {
            controls.insert(control.name, widget);
        }
    }
    if (!missing.isEmpty() || !wrongKind.isEmpty()) {
        delete root;
        QStringList reasons;
        if (!missing.isEmpty()) {
            reasons.append("lacks the controls: " + missing.join(", "));
        }
        if (!wrongKind.isEmpty()) {
            reasons.append("has controls of the wrong kind: " + wrongKind.join(", "));
        }
        return fail(reasons.join("; ") + ".");
    }
    m_root = root;
    m_controls = std::move(controls);
    return true;
}

QLabel* CFrontPanelSkin::Label(const QString& name) const {
    return qobject_cast<QLabel*>(m_controls.value(name));
}

QAbstractButton* CFrontPanelSkin::Button(const QString& name) const {
    return qobject_cast<QAbstractButton*>(m_controls.value(name));
}

QWidget* CFrontPanelSkin::Widget(const QString& name) const {
    return m_controls.value(name);
}

QList<QAbstractButton*> CFrontPanelSkin::Buttons() const {
    return m_root == nullptr ? QList<QAbstractButton*>() : m_root->findChildren<QAbstractButton*>();
}

}  // namespace kvt::panel
