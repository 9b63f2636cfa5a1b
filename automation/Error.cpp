#include "automation/Error.h"

namespace automation {

Error::Error(std::string member, const std::string& reason)
    : std::runtime_error(reason.empty() ? member + " failed" : member + " failed: " + reason),
      m_member(std::move(member))
{}

} // namespace automation
