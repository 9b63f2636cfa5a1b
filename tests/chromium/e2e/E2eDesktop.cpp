#include "E2eDesktop.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::string fileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

E2eDesktop& E2eDesktop::instance()
{
    static E2eDesktop desktop;
    return desktop;
}

std::string E2eDesktop::url(const std::string& path, bool otherSite) const
{
    return std::string("http://") + (otherSite ? "localhost" : "127.0.0.1") + ":" +
           std::to_string(m_port) + path;
}

void E2eDesktop::start()
{
    char folder[] = "/tmp/tabulon-e2e-XXXXXX";
    if (!::mkdtemp(folder))
        throw std::runtime_error("mkdtemp");
    m_home = folder;
    // Nothing lands in the user's home: every folder the browser might use is here.
    ::setenv("HOME", m_home.c_str(), 1);
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
        const std::string path = m_home + "/" + name;
        std::filesystem::create_directories(path);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        ::setenv(name, path.c_str(), 1);
    }

    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        // A display of our own, on a number nobody else uses.
        m_display = std::make_unique<automation::x11::test::TestDisplay>();
        if (!m_display->start())
            throw std::runtime_error(m_display->reason());
        ::setenv("DISPLAY", m_display->name().c_str(), 1);
    }

    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 64) != 0)
        throw std::runtime_error("cannot listen on loopback");
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);

    std::string picture = "\x89PNG\r\n\x1a\n";
    picture.resize(1234, 'p');
    m_pages = {
        {"/plain.html", "<html><head><title>Plain page</title></head><body>plain</body></html>"},
        {"/a.html",
         "<html><head><title>A page</title><style>p{}</style><script>var x=1;</script></head>"
         "<body background='bg.png'><p>a</p><img src='pic.png'><a name='top'></a>"
         "<a href='b.html'>bee <b>bold</b></a><a href='plain.html'>plain</a>"
         "<form></form></body></html>"},
        {"/b.html", "<html><head><title>B page</title></head><body>b</body></html>"},
        {"/jp.html", "<html><head><meta charset='utf-8'><title>日本語のページ</title></head>"
                     "<body>日本語</body></html>"},
        {"/frameset.html", "<html><head><title>Frame set</title></head><frameset cols='50%,50%'>"
                           "<frame name='left' src='a.html'><frame name='right' src='" +
                               url("/b.html", true) + "'></frameset></html>"},
        {"/cookie.html", "<html><head><title>Cookie page</title></head><body>c</body></html>"},
        {"/hang.html", "<html><head><title>Hang</title></head><body>"
                       "<script>setTimeout(() => { for (;;) {} }, 300)</script></body></html>"},
        {"/spin.html",
         "<html><head><title>Spin</title></head><body>"
         "<script>setInterval(() => { while (true) {} }, 300)</script></body></html>"},
        {"/pic.png", picture},
        // Styles itself the ways a page of today does: colours by class, by id and by
        // !important, text in px, em, rem and %, a code block, a form field, a frame.
        {"/styled.html",
         "<html><head><title>Styled</title><style>"
         "html { font-size: 62.5%; }"
         "body { color: #333; background: #fff url(pic.png); font: 14px sans-serif; }"
         "p { white-space: nowrap; margin: 4px; }"
         ".say { color: green !important; background: #ddd !important; }"
         "#main .em { font-size: 1.2em; } .rem { font-size: 1.6rem; } .pct { font-size: 110%; }"
         ".px { font-size: 15px; } a { color: red !important; }"
         "pre, code { background: #eee; color: #900; } input { background: #ffc; color: #060; }"
         "</style></head><body><div id='main'>"
         "<p id='px' class='px say'>The longest paragraph, its text sized in pixels.</p>"
         "<p id='em' class='em'>Text in em.</p><p id='rem' class='rem'>Text in rem.</p>"
         "<p id='pct' class='pct'>Text in percent.</p>"
         "<p><a id='link' href='b.html'>a link that is red by !important</a></p>"
         "<pre id='code'>int main() { return 0; }</pre><input id='field' value='a field'>"
         "<img id='pic' src='pic.png'><iframe src='b.html'></iframe></div></body></html>"},
    };
    // Pages that lie, hang and flood, as a hostile site would.
    std::string manyLinks = "<html><head><title>Many links</title></head><body><script>"
                            "for (let i = 0; i < 12000; ++i) { const a = "
                            "document.createElement('a'); a.href = 'b.html#' + i; a.textContent "
                            "= 'link ' + i; document.body.appendChild(a); }</script></body></html>";
    m_pages.insert({
        // The one line that ended the program.
        {"/title42.html", "<script>Object.defineProperty(document, 'title', {get: () => 42});"
                          "</script>"},
        {"/liar.html",
         "<html><head><title>Liar</title></head><body>"
         "<img src='pic.png'><a href='b.html'>bee</a><iframe name='one' src='b.html'></iframe>"
         "<script>"
         "const lie = (o, name, get) => { try { Object.defineProperty(o, name, {get, "
         "configurable: true}); } catch (e) {} };"
         "lie(document, 'title', () => ({toString() { for (;;) {} }}));"
         "lie(document, 'readyState', () => 42);"
         "lie(document, 'visibilityState', () => NaN);"
         "lie(window, 'frames', () => ({length: 1e300}));"
         "lie(window, 'length', () => -1);"
         "lie(document, 'images', () => ({length: 1e300, 0: 5}));"
         "lie(document, 'links', () => ({length: -1}));"
         "lie(document, 'scripts', () => ({length: NaN}));"
         "lie(document, 'styleSheets', () => ({length: 'many'}));"
         "lie(document, 'forms', () => ({length: Infinity}));"
         "lie(document, 'anchors', () => ({length: 2 ** 53 + 2}));"
         "lie(document, 'referrer', () => ({x: 1}));"
         "lie(document, 'lastModified', () => 1e300);"
         "lie(document, 'body', () => ({background: 42, style: {fontSize: {}}}));"
         "lie(history, 'length', () => 1e300);"
         "lie(location, 'href', () => 'javascript:alert(1)');"
         "Array.from = () => { for (;;) {} };"
         "Array.prototype.filter = function () { return [1e300, 'x', null]; };"
         "Function.prototype.call = function () { throw new Error('no'); };"
         "Function.prototype.apply = function () { throw new Error('no'); };"
         "String.prototype.slice = function () { return 'x'.repeat(1e6); };"
         "JSON.stringify = () => '{';"
         "Object.defineProperty = undefined;"
         "</script></body></html>"},
        // Fifty megabytes of title.
        {"/bigtitle.html", "<html><head><title>Big</title></head><body><script>"
                           "document.title = 'T'.repeat(50 * 1024 * 1024);</script></body></html>"},
        // A frame on another site that never stops running.
        {"/spinframe.html", "<html><head><title>Spinning frame</title></head><body>"
                            "<iframe name='spin' src='" +
                                url("/spinforever.html", true) + "'></iframe></body></html>"},
        {"/spinforever.html", "<html><body><script>setTimeout(() => { while (true) {} }, 200)"
                              "</script></body></html>"},
        // Line breaks and the characters the list codec writes back as CR and LF, in
        // a title, frame names and frames of schemes that run script.
        {"/evilnames.html",
         "<html><head><meta charset='utf-8'><title>Evil&#x10FF0D;&#x10FF0A;"
         "URL=javascript:alert(1)</title></head><body>"
         "<iframe name='a&#13;&#10;[InternetShortcut]&#13;&#10;URL=javascript:alert(2)' "
         "src='b.html'></iframe>"
         "<iframe name='b&#x10FF0D;&#x10FF0A;BASEURL=chrome://quit' src='plain.html'></iframe>"
         "<iframe src='data:text/html,%3Ctitle%3Ed%3C/title%3Edata'></iframe>"
         "<iframe src=\"javascript:'<title>j</title>js'\"></iframe>"
         "<script>window.frames[0].name = 'c\\r\\nURL=javascript:alert(3)';</script>"
         "</body></html>"},
        // Strings cut inside a character.
        {"/surrogate.html", "<html><head><title>x</title></head><body><a href='b.html'>"
                            "<script>document.write('\\ud800')</script></a><script>"
                            "document.title = 'half \\ud83d';</script></body></html>"},
        {"/manylinks.html", manyLinks},
    });
    // A large page of ordinary links and images, some of them unreadable in one way or
    // another, checked in beside the tests.
    m_pages.emplace("/large.html",
                    fileText(std::filesystem::path(TABULON_E2E_PAGES) / "large.html"));
    // Real documentation pages where the system has them (read by the benchmarks only).
    for (const char* doc : {"library/stdtypes.html", "genindex-all.html"}) {
        const auto path = std::filesystem::path("/usr/share/doc/python3/html") / doc;
        if (std::filesystem::is_regular_file(path))
            m_pages.emplace(std::string("/py/") + doc, fileText(path));
    }
    m_server = std::thread([this] { serve(); });
}

void E2eDesktop::serve()
{
    while (!m_stopping) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        // One thread a connection: the browser opens connections ahead of its
        // requests, and one that stays silent must not hold up the others.
        std::thread([this, fd] { answer(fd); }).detach();
    }
}

void E2eDesktop::answer(int fd) const
{
    std::string request;
    char chunk[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd r{fd, POLLIN, 0};
        if (::poll(&r, 1, 5000) <= 0)
            break;
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        request.append(chunk, static_cast<std::size_t>(n));
    }
    const auto space = request.find(' ');
    const std::string path =
        space == std::string::npos
            ? ""
            : request.substr(space + 1, request.find(' ', space + 1) - space - 1);
    const auto found = m_pages.find(path);
    std::string response;
    if (request.empty()) {
        ::close(fd);
        return;
    }
    if (found == m_pages.end()) {
        response = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    } else {
        const bool png = path.size() > 4 && path.substr(path.size() - 4) == ".png";
        response = "HTTP/1.1 200 OK\r\nContent-Type: " +
                   std::string(png ? "image/png" : "text/html; charset=utf-8") +
                   "\r\nContent-Length: " + std::to_string(found->second.size()) +
                   "\r\nCache-Control: no-store\r\nConnection: close\r\n";
        if (path == "/cookie.html")
            response += "Set-Cookie: flavour=oat; Path=/\r\n";
        response += "\r\n" + found->second;
    }
    std::size_t done = 0;
    while (done < response.size()) {
        const ssize_t n = ::send(fd, response.data() + done, response.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

void E2eDesktop::stop()
{
    m_stopping = true;
    if (m_server.joinable())
        m_server.join();
    if (m_listener >= 0)
        ::close(m_listener);
    if (m_display) {
        m_display->stop();
        m_display.reset();
        ::unsetenv("DISPLAY");
    }
    if (!m_home.empty())
        std::filesystem::remove_all(m_home);
}
