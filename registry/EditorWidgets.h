#pragma once

#include "automation/CommonDialog.h"

#include <string>
#include <utility>
#include <vector>

class QTreeWidget;
class QWidget;

namespace tabulon {

class Twips;

// What the two list editors (sites and applications) share: their report-style list, its fitting to
// the window and the deletion question.

// The editor's list ListView1: report style, one selected row at a time, not editable.
QTreeWidget* makeListView(QWidget& parent);

// The list's place when the window changes size: from 1200 twips down, the window's
// full width, and its remaining height but never less than 100 twips.
void fitListView(QTreeWidget& list, const QWidget& window, const Twips& twips);

// The list's rows from name and value pairs, with the row number selected (0: none).
void fillListView(QTreeWidget& list, const std::vector<std::pair<std::string, std::string>>& rows,
                  int selected);

// The selected row's number, counted from 1; 0 when none is selected.
int selectedRowOf(const QTreeWidget& list);

// Asks whether the entry may be deleted; true only for OK.
bool confirmDeletion(automation::MessageBox& messages, const std::string& name);

} // namespace tabulon
