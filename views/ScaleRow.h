#pragma once

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace kvt::views {

// One row of a view's scale or range controls: caption, value edit, prefix
// list, unit label and "Set" button.
struct ScaleRow {
    QLineEdit*& edit;
    QComboBox*& prefixes;
    QLabel*& unit;
    QPushButton*& set;
};

// Builds the row into grid at row: the widgets are children of parent and
// named after name ("highEdit", "highPrefix", "highUnit", "highSet"); the
// prefix list holds the table's prefixes from firstPrefix to the last, with
// entry selected chosen (-1 for none); the unit label starts as "V".
void AddScaleRow(QGridLayout* grid, int row, QWidget* parent, const char* caption, const char* name,
                 int firstPrefix, int selected, const ScaleRow& widgets);

}  // namespace kvt::views
