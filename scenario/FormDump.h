#pragma once

#include <nlohmann/json.hpp>

class QWidget;

namespace tabulon {
class Program;
}

namespace tabulon::scenario {

// A loaded dialog window as the dump shows it: caption, visibility, every text box by
// name, each list with its rows, selection and height, check boxes, and what the
// window adds of its own.
nlohmann::json dumpForm(const QWidget& form, Program& program, int twipsPerPixel);

} // namespace tabulon::scenario
