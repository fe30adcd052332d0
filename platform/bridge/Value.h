#pragma once
// Dynamically typed value in which every object property travels and is stored.
// Lives on: any thread; a value is not shared between threads without a copy.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace bg {

class Value;

// String-keyed property map; operator[] creates an empty entry for an absent key.
using ValueMap = std::map<std::string, Value>;

// Built-in kind tags. Tags 31..40 belong to the toolkit kinds registered by the editor.
enum ValueType : int32_t {
    VT_EMPTY = 0,
    VT_BOOL = 1,
    VT_INT32 = 2,
    VT_INT64 = 3,
    VT_DOUBLE = 4,
    VT_STRING = 5,
    VT_POINTER = 6,
    VT_MAP = 7,
    VT_QSTR = 31,
    VT_RECTF = 32,
    VT_RECT = 33,
    VT_POINTF = 34,
    VT_POINT = 35,
    VT_SIZEF = 36,
    VT_SIZE = 37,
    VT_FONT = 39,
    VT_COLOR = 40,
};

// A registered kind turns a value into text and a (type text, body) pair back into a value.
using ValueWriter = std::string (*)(const Value &);
using ValueReader = Value *(*)(const char *type, const char *body);

// Registers an extra kind; returns false when the tag or the name is taken or invalid.
bool regist_value_type(int32_t tag, const char *name, ValueWriter writer, ValueReader reader);

class Value {
public:
    Value() = default;
    Value(bool v);
    Value(int32_t v);
    Value(int64_t v);
    Value(double v);
    Value(const char *v);
    Value(const std::string &v);
    Value(void *pointer);
    Value(const ValueMap &map);
    Value(const Value &other);
    Value(Value &&other) noexcept;
    Value &operator=(const Value &other);
    Value &operator=(Value &&other) noexcept;
    virtual ~Value();

    int32_t type() const { return m_tag; }
    bool isEmpty() const { return m_tag == VT_EMPTY; }
    void clear();

    bool toBool(bool def = false) const;
    int32_t toInt32(int32_t def = 0) const;
    int64_t toInt64(int64_t def = 0) const;
    double toDouble(double def = 0.0) const;
    std::string toStdString(const std::string &def = std::string()) const;
    void *toPointer() const { return m_tag == VT_POINTER ? m_num.ptr : nullptr; }
    ValueMap toMap() const;
    // Direct access to the map payload; null unless this is a map.
    const ValueMap *mapPtr() const { return m_map.get(); }

    // Text form of the value; registered kinds use their writer.
    virtual std::string write() const;
    // Parses a text form; on failure the value is left empty and false is returned.
    virtual bool read(const char *text);
    bool read(const std::string &text) { return read(text.c_str()); }

    bool operator==(const Value &other) const;
    bool operator!=(const Value &other) const { return !(*this == other); }

    // Payload shared by the built-in and the registered kinds, so that a derived
    // value stored into a map as a plain bg::Value keeps everything it carries.
    // Registered kinds read and write it through these accessors.
    union Number {
        bool b;
        int32_t i32;
        int64_t i64;
        double d;
        void *ptr;
        int32_t ri[4];
        double rf[4];
        uint32_t argb;
    };
    void setTag(int32_t tag) { m_tag = tag; }
    Number &num() { return m_num; }
    const Number &num() const { return m_num; }
    std::string &str() { return m_str; }
    const std::string &str() const { return m_str; }

protected:
    // Parser with a nesting limit for maps, shared by read().
    bool readText(const char *text, int depth);

private:
    int32_t m_tag = VT_EMPTY;
    Number m_num{};
    std::string m_str;
    std::unique_ptr<ValueMap> m_map;
};

} // namespace bg
