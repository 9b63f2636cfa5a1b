// What the program and the desktop look like: dumps, expectations and pictures.
#include "app/Form1.h"
#include "app/Program.h"
#include "scenario/Dump.h"
#include "scenario/Runner.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <ostream>

namespace tabulon::scenario {

using nlohmann::json;

json Runner::currentDump(const std::string& label)
{
    return takeDump(DumpContext{desktop(), m_program.get(), m_workdir, m_favorites}, label);
}

void Runner::dumpStep(const json& step)
{
    m_out << currentDump(step["dump"].get<std::string>())
                 .dump(-1, ' ', false, json::error_handler_t::replace)
          << std::endl;
}

void Runner::expectStep(const json& step)
{
    const json actual = currentDump("expect");
    for (const auto& [pointer, expected] : step["expect"].items()) {
        json found;
        bool exists = false;
        try {
            const json::json_pointer at(pointer);
            if (actual.contains(at)) {
                found = actual.at(at);
                exists = true;
            }
        } catch (const json::exception&) {
            throw Unusable("\"" + pointer + "\" is not a JSON pointer");
        }
        // null also stands for "not there", so a test can say a file or field is absent.
        const bool holds = exists ? found == expected : expected.is_null();
        if (!holds) {
            m_failed = true;
            m_err << "step " << m_step << ": expect " << pointer << ": expected "
                  << expected.dump(-1, ' ', false, json::error_handler_t::replace) << ", got "
                  << (exists ? found.dump(-1, ' ', false, json::error_handler_t::replace)
                             : std::string("nothing"))
                  << '\n';
        }
    }
}

// Writes a picture of one window (as it draws itself) or of the whole screen (under
// a real display), so a layout can be looked at.
void Runner::screenshotStep(const json& step)
{
    const json& what = step["screenshot"];
    const std::filesystem::path file = m_workdir / what["file"].get<std::string>();
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    QPixmap picture;
    if (what.contains("window")) {
        const std::string name = what["window"].get<std::string>();
        QWidget& window = name == "Form1" ? static_cast<QWidget&>(form()) : findForm(name);
        picture = window.grab();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        picture = screen->grabWindow(0);
    }
    if (picture.isNull() || !picture.save(QString::fromStdString(file.string()), "PNG"))
        throw Unusable("cannot write the picture " + file.string());
}

} // namespace tabulon::scenario
