// The probe's command line: options first, then one command and its
// arguments, each command checked for the number of arguments it takes.
#include "commands.h"
#include "text.h"

namespace probe {

namespace {

constexpr unsigned mostSeconds = 3600; // a wait longer than this is a mistake

struct CommandShape {
    const char* name;
    size_t least;
    size_t most;
};

constexpr size_t anyNumber = static_cast<size_t>(-1);

constexpr CommandShape shapes[] = {
    {"wait", 0, 0},       {"gone", 0, 0},       {"exists", 0, 0},         {"window", 0, 0},
    {"controls", 0, 0},   {"state", 0, 0},      {"text", 1, 1},           {"status", 0, 0},
    {"list", 0, 1},       {"wait-text", 2, 2},  {"wait-shown", 1, 1},     {"wait-hidden", 1, 1},
    {"wait-line", 1, 2},  {"press", 1, 1},      {"command", 1, anyNumber}, {"point", 1, 1},
    {"click", 1, 1},      {"double-click", 1, 1}, {"key", 1, 1},        {"post-key", 1, 1},
    {"run", 1, anyNumber}, {"windows", 0, 0},
};

std::string narrow(const std::wstring& text) {
    return printable(text);
}

bool parseSeconds(const std::wstring& text, unsigned& seconds) {
    if (text.empty() || text.size() > 4)
        return false;
    unsigned value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    if (value > mostSeconds)
        return false;
    seconds = value;
    return true;
}

bool checkShape(const Invocation& invocation, std::string& problem) {
    for (const CommandShape& shape : shapes) {
        if (invocation.command != shape.name)
            continue;
        const size_t count = invocation.arguments.size();
        if (count < shape.least || count > shape.most) {
            problem = "wrong number of arguments for " + invocation.command;
            return false;
        }
        return true;
    }
    problem = "unknown command " + invocation.command;
    return false;
}

// Reads the options at `i`; false with the problem for a bad one.
bool parseOption(const std::vector<std::wstring>& arguments, size_t& i, Invocation& invocation,
                 std::string& problem) {
    const std::wstring& option = arguments[i];
    if (i + 1 >= arguments.size()) {
        problem = narrow(option) + " wants a value";
        return false;
    }
    const std::wstring& value = arguments[++i];
    if (option == L"--title") {
        invocation.query.byTitle = true;
        invocation.query.title = value;
    } else if (option == L"--child") {
        invocation.query.byChild = parseId(value, invocation.query.childId);
        if (!invocation.query.byChild) {
            problem = "--child wants a control id, got " + narrow(value);
            return false;
        }
    } else if (option == L"--timeout") {
        invocation.timeoutGiven = parseSeconds(value, invocation.timeoutSeconds);
        if (!invocation.timeoutGiven) {
            problem = "--timeout wants whole seconds up to 3600, got " + narrow(value);
            return false;
        }
    } else {
        problem = "unknown option " + narrow(option);
        return false;
    }
    return true;
}

} // namespace

bool parseId(const std::wstring& text, int& id) {
    if (text.empty() || text.size() > 5)
        return false;
    int value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + (c - L'0');
    }
    id = value;
    return true;
}

bool parseInvocation(const std::vector<std::wstring>& arguments, Invocation& invocation, std::string& problem) {
    size_t i = 0;
    for (; i < arguments.size() && arguments[i].compare(0, 2, L"--") == 0; ++i) {
        if (!parseOption(arguments, i, invocation, problem))
            return false;
    }
    if (i >= arguments.size()) {
        problem = "no command";
        return false;
    }
    invocation.command = narrow(arguments[i]);
    invocation.arguments.assign(arguments.begin() + static_cast<long>(i) + 1, arguments.end());
    return checkShape(invocation, problem);
}

} // namespace probe
