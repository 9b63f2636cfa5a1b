#include "automation/sim/SimDesktop.h"

namespace automation::sim {

SimDesktop::SimDesktop(SimSetup setup)
    : m_state(std::move(setup)), m_files(m_state, m_disk), m_launcher(m_state), m_help(m_state),
      m_objects(m_state), m_windows(m_state, m_clock, m_disk),
      m_control(m_state, m_clock, m_dialogs, m_files, m_disk)
{}

Platform SimDesktop::platform()
{
    return Platform{m_objects, m_windows, m_launcher, m_dialogs,
                    m_dialogs, m_help,    m_clock,    m_files};
}

} // namespace automation::sim
