#include "views/ScaleRow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include "functions/PrefixTable.h"
#include "views/ViewText.h"

namespace kvt::views {

void AddScaleRow(QGridLayout* grid, int row, QWidget* parent, const char* caption, const char* name,
                 int firstPrefix, int selected, const ScaleRow& widgets) {
    const QString base = name;
    widgets.edit = new QLineEdit(parent);
    widgets.edit->setObjectName(base + "Edit");
    widgets.prefixes = new QComboBox(parent);
    widgets.prefixes->setObjectName(base + "Prefix");
    FillPrefixList(widgets.prefixes, firstPrefix, functions::kPrefixCount - 1);
    widgets.prefixes->setCurrentIndex(selected);
    widgets.unit = new QLabel("V", parent);
    widgets.unit->setObjectName(base + "Unit");
    widgets.unit->setMinimumWidth(24);
    widgets.set = new QPushButton("Set", parent);
    widgets.set->setObjectName(base + "Set");
    grid->addWidget(new QLabel(caption, parent), row, 0);
    grid->addWidget(widgets.edit, row, 1);
    grid->addWidget(widgets.prefixes, row, 2);
    grid->addWidget(widgets.unit, row, 3);
    grid->addWidget(widgets.set, row, 4);
}

}  // namespace kvt::views
