#include "automation/sim/SimDialogs.h"

#include <algorithm>

namespace automation::sim {

using nlohmann::json;

namespace {

template <typename T> std::optional<T> takeAnswer(std::deque<std::optional<T>>& queue)
{
    if (queue.empty())
        return std::nullopt;
    auto answer = std::move(queue.front());
    queue.pop_front();
    return answer;
}

json answerJson(const std::optional<std::string>& answer)
{
    return answer ? json(*answer) : json("cancel");
}

const char* answerName(MsgBoxAnswer answer)
{
    switch (answer) {
    case MsgBoxAnswer::OK:
        return "OK";
    case MsgBoxAnswer::Cancel:
        return "Cancel";
    case MsgBoxAnswer::Close:
        return "Close";
    }
    return "Cancel";
}

} // namespace

std::optional<std::uint32_t> SimDialogs::ShowColor(std::uint32_t initial)
{
    const auto answer = takeAnswer(m_color);
    m_shown.push_back({{"kind", "color"},
                       {"initial", initial},
                       {"answer", answer ? json(*answer) : json("cancel")}});
    return answer;
}

std::optional<std::string> SimDialogs::ShowOpen(const std::string& initDir)
{
    auto answer = takeAnswer(m_open);
    m_shown.push_back({{"kind", "open"}, {"initDir", initDir}, {"answer", answerJson(answer)}});
    return answer;
}

std::optional<std::string> SimDialogs::ShowSave(const std::string& initDir)
{
    auto answer = takeAnswer(m_save);
    m_shown.push_back({{"kind", "save"}, {"initDir", initDir}, {"answer", answerJson(answer)}});
    return answer;
}

std::optional<SaveChoice> SimDialogs::ShowSaveAs(const std::string& initDir,
                                                 const std::vector<std::string>& filters)
{
    auto answer = takeAnswer(m_save);
    m_shown.push_back({{"kind", "save"},
                       {"initDir", initDir},
                       {"filters", filters},
                       {"answer", answerJson(answer)}});
    if (!answer)
        return std::nullopt;
    return SaveChoice{std::move(*answer), 0};
}

std::optional<std::string> SimDialogs::InputText(const std::string& title,
                                                 const std::string& prompt,
                                                 const std::vector<std::string>& choices)
{
    auto answer = takeAnswer(m_input);
    if (answer && !choices.empty() &&
        std::find(choices.begin(), choices.end(), *answer) == choices.end())
        answer.reset();
    json shown = {{"kind", "input"}, {"title", title}, {"prompt", prompt}};
    if (!choices.empty())
        shown["choices"] = choices;
    shown["answer"] = answerJson(answer);
    m_shown.push_back(std::move(shown));
    return answer;
}

MsgBoxAnswer SimDialogs::MsgBox(const std::string& text, const std::string& title,
                                MsgBoxButtons buttons)
{
    MsgBoxAnswer answer = MsgBoxAnswer::Cancel;
    if (!m_msgbox.empty()) {
        answer = m_msgbox.front();
        m_msgbox.pop_front();
    }
    m_shown.push_back({{"kind", "msgbox"},
                       {"text", text},
                       {"title", title},
                       {"buttons", buttons == MsgBoxButtons::OKCancel ? "OKCancel" : "OK"},
                       {"answer", answerName(answer)}});
    return answer;
}

json SimDialogs::takeShown()
{
    json shown = std::move(m_shown);
    m_shown = json::array();
    return shown;
}

} // namespace automation::sim
