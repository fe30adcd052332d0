#include "Value.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bg {

namespace {

constexpr int kMaxRegisteredTag = 255;
constexpr int kMaxMapDepth = 32;

struct KindEntry {
    std::string name;
    ValueWriter writer = nullptr;
    ValueReader reader = nullptr;
};

// Registered kinds, indexed by tag. Filled at static initialisation, read afterwards.
KindEntry *registry()
{
    static KindEntry kinds[kMaxRegisteredTag + 1];
    return kinds;
}

// Finds the registered kind whose name is the type text, or its prefix before a ':'
// (counted kinds carry their length in the type text, e.g. "qstr:3").
const KindEntry *findKind(const std::string &type)
{
    const KindEntry *kinds = registry();
    for (int tag = 0; tag <= kMaxRegisteredTag; ++tag) {
        const KindEntry &k = kinds[tag];
        if (!k.reader)
            continue;
        if (type == k.name)
            return &k;
        if (type.size() > k.name.size() && type.compare(0, k.name.size(), k.name) == 0 &&
            type[k.name.size()] == ':')
            return &k;
    }
    return nullptr;
}

bool parseInt64(const char *text, int64_t &out)
{
    if (!*text)
        return false;
    errno = 0;
    char *end = nullptr;
    long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    out = v;
    return true;
}

// Reads "<digits>:" at pos; advances pos past the colon.
bool parseLength(const std::string &text, size_t &pos, size_t &len)
{
    size_t start = pos;
    size_t v = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        v = v * 10 + size_t(text[pos] - '0');
        if (v > text.size())
            return false;
        ++pos;
    }
    if (pos == start || pos >= text.size() || text[pos] != ':')
        return false;
    ++pos;
    len = v;
    return true;
}

// Length from a counted type text such as "string:12"; false when absent or malformed.
bool countedLength(const std::string &type, size_t prefix, int64_t &len)
{
    if (type.size() <= prefix)
        return false;
    return parseInt64(type.c_str() + prefix, len) && len >= 0;
}

} // namespace

bool regist_value_type(int32_t tag, const char *name, ValueWriter writer, ValueReader reader)
{
    if (tag <= VT_MAP || tag > kMaxRegisteredTag || !name || !*name || !writer || !reader)
        return false;
    KindEntry *kinds = registry();
    if (kinds[tag].reader)
        return false;
    for (int t = 0; t <= kMaxRegisteredTag; ++t)
        if (kinds[t].reader && kinds[t].name == name)
            return false;
    kinds[tag] = KindEntry{name, writer, reader};
    return true;
}

Value::Value(bool v) : m_tag(VT_BOOL)
{
    m_num.b = v;
}
Value::Value(int32_t v) : m_tag(VT_INT32)
{
    m_num.i32 = v;
}
Value::Value(int64_t v) : m_tag(VT_INT64)
{
    m_num.i64 = v;
}
Value::Value(double v) : m_tag(VT_DOUBLE)
{
    m_num.d = v;
}
Value::Value(const char *v) : m_tag(VT_STRING), m_str(v ? v : "") {}
Value::Value(const std::string &v) : m_tag(VT_STRING), m_str(v) {}
Value::Value(void *pointer) : m_tag(VT_POINTER)
{
    m_num.ptr = pointer;
}
Value::Value(const ValueMap &map) : m_tag(VT_MAP), m_map(std::make_unique<ValueMap>(map)) {}

Value::Value(const Value &other)
    : m_tag(other.m_tag), m_num(other.m_num), m_str(other.m_str),
      m_map(other.m_map ? std::make_unique<ValueMap>(*other.m_map) : nullptr)
{}

Value::Value(Value &&other) noexcept
    : m_tag(other.m_tag), m_num(other.m_num), m_str(std::move(other.m_str)),
      m_map(std::move(other.m_map))
{
    other.m_tag = VT_EMPTY;
}

Value &Value::operator=(const Value &other)
{
    if (this != &other) {
        m_tag = other.m_tag;
        m_num = other.m_num;
        m_str = other.m_str;
        m_map = other.m_map ? std::make_unique<ValueMap>(*other.m_map) : nullptr;
    }
    return *this;
}

Value &Value::operator=(Value &&other) noexcept
{
    if (this != &other) {
        m_tag = other.m_tag;
        m_num = other.m_num;
        m_str = std::move(other.m_str);
        m_map = std::move(other.m_map);
        other.m_tag = VT_EMPTY;
    }
    return *this;
}

Value::~Value() = default;

void Value::clear()
{
    m_tag = VT_EMPTY;
    m_num = Number{};
    m_str.clear();
    m_map.reset();
}

bool Value::toBool(bool def) const
{
    switch (m_tag) {
    case VT_BOOL:
        return m_num.b;
    case VT_INT32:
        return m_num.i32 != 0;
    case VT_INT64:
        return m_num.i64 != 0;
    case VT_DOUBLE:
        return m_num.d != 0.0;
    default:
        return def;
    }
}

int32_t Value::toInt32(int32_t def) const
{
    switch (m_tag) {
    case VT_BOOL:
        return m_num.b ? 1 : 0;
    case VT_INT32:
        return m_num.i32;
    case VT_INT64:
        return int32_t(m_num.i64);
    case VT_DOUBLE:
        return int32_t(m_num.d);
    default:
        return def;
    }
}

int64_t Value::toInt64(int64_t def) const
{
    switch (m_tag) {
    case VT_BOOL:
        return m_num.b ? 1 : 0;
    case VT_INT32:
        return m_num.i32;
    case VT_INT64:
        return m_num.i64;
    case VT_DOUBLE:
        return int64_t(m_num.d);
    default:
        return def;
    }
}

double Value::toDouble(double def) const
{
    switch (m_tag) {
    case VT_INT32:
        return m_num.i32;
    case VT_INT64:
        return double(m_num.i64);
    case VT_DOUBLE:
        return m_num.d;
    default:
        return def;
    }
}

std::string Value::toStdString(const std::string &def) const
{
    return m_tag == VT_STRING ? m_str : def;
}

ValueMap Value::toMap() const
{
    return m_map ? *m_map : ValueMap();
}

std::string Value::write() const
{
    char buf[64];
    switch (m_tag) {
    case VT_EMPTY:
        return "<null>";
    case VT_BOOL:
        return m_num.b ? "[bool]1" : "[bool]0";
    case VT_INT32:
        std::snprintf(buf, sizeof buf, "[int32]%" PRId32, m_num.i32);
        return buf;
    case VT_INT64:
        std::snprintf(buf, sizeof buf, "[int64]%" PRId64, m_num.i64);
        return buf;
    case VT_DOUBLE:
        std::snprintf(buf, sizeof buf, "[double]%.17g", m_num.d);
        return buf;
    case VT_STRING:
        return "[string:" + std::to_string(m_str.size()) + "]" + m_str;
    case VT_POINTER:
        return "[pointer]"; // owners pass through the history, never a file
    case VT_MAP: {
        std::string out = "[map:" + std::to_string(m_map ? m_map->size() : 0) + "]";
        if (m_map) {
            for (const auto &entry : *m_map) {
                const std::string v = entry.second.write();
                out += std::to_string(entry.first.size()) + ":" + entry.first;
                out += std::to_string(v.size()) + ":" + v;
            }
        }
        return out;
    }
    default:
        if (m_tag > 0 && m_tag <= kMaxRegisteredTag && registry()[m_tag].writer)
            return registry()[m_tag].writer(*this);
        return "<null>";
    }
}

bool Value::read(const char *text)
{
    return readText(text, 0);
}

bool Value::readText(const char *text, int depth)
{
    clear();
    if (!text || std::strlen(text) < 4)
        return false;
    if (std::strncmp(text, "<variant>", 9) == 0) {
        m_tag = VT_STRING;
        m_str = text + 9;
        return true;
    }
    // The type text runs from the second character to the first ']' after it.
    const char *close = std::strchr(text + 1, ']');
    if (!close || std::strncmp(text, "<null>", 6) == 0)
        return false;
    const std::string type(text + 1, close);
    const char *body = close + 1;

    if (const KindEntry *kind = findKind(type)) {
        std::unique_ptr<Value> v(kind->reader(type.c_str(), body));
        if (v)
            *this = *v;
        return m_tag != VT_EMPTY;
    }

    int64_t n = 0;
    if (type == "bool") {
        if (std::strcmp(body, "1") == 0 || std::strcmp(body, "0") == 0) {
            m_tag = VT_BOOL;
            m_num.b = body[0] == '1';
        }
    } else if (type == "int32") {
        if (parseInt64(body, n) && n >= INT32_MIN && n <= INT32_MAX) {
            m_tag = VT_INT32;
            m_num.i32 = int32_t(n);
        }
    } else if (type == "int64") {
        if (parseInt64(body, n)) {
            m_tag = VT_INT64;
            m_num.i64 = n;
        }
    } else if (type == "double") {
        char *end = nullptr;
        const double d = std::strtod(body, &end);
        if (*body && end && *end == '\0') {
            m_tag = VT_DOUBLE;
            m_num.d = d;
        }
    } else if (type.compare(0, 7, "string:") == 0) {
        if (countedLength(type, 7, n) && size_t(n) <= std::strlen(body)) {
            m_tag = VT_STRING;
            m_str.assign(body, size_t(n));
        }
    } else if (type.compare(0, 4, "map:") == 0 && depth < kMaxMapDepth) {
        if (!countedLength(type, 4, n))
            return false;
        const std::string rest(body);
        auto map = std::make_unique<ValueMap>();
        size_t pos = 0;
        for (int64_t i = 0; i < n; ++i) {
            size_t klen = 0, vlen = 0;
            if (!parseLength(rest, pos, klen) || pos + klen > rest.size())
                return false;
            std::string key = rest.substr(pos, klen);
            pos += klen;
            if (!parseLength(rest, pos, vlen) || pos + vlen > rest.size())
                return false;
            Value item;
            const std::string itemText = rest.substr(pos, vlen);
            pos += vlen;
            // An empty value is written as "<null>", which reads as a failure by design.
            if (itemText != "<null>" && !item.readText(itemText.c_str(), depth + 1))
                return false;
            (*map)[key] = std::move(item);
        }
        if (pos != rest.size())
            return false;
        m_tag = VT_MAP;
        m_map = std::move(map);
    }
    return m_tag != VT_EMPTY;
}

bool Value::operator==(const Value &other) const
{
    if (m_tag != other.m_tag)
        return false;
    switch (m_tag) {
    case VT_EMPTY:
        return true;
    case VT_BOOL:
        return m_num.b == other.m_num.b;
    case VT_INT32:
        return m_num.i32 == other.m_num.i32;
    case VT_INT64:
        return m_num.i64 == other.m_num.i64;
    case VT_DOUBLE:
        return m_num.d == other.m_num.d;
    case VT_STRING:
        return m_str == other.m_str;
    case VT_POINTER:
        return m_num.ptr == other.m_num.ptr;
    case VT_MAP:
        return toMap() == other.toMap();
    default:
        return write() == other.write();
    }
}

} // namespace bg
