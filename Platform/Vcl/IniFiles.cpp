#include "Platform/Vcl/IniFiles.h"

namespace
{
std::u16string Trimmed(const std::u16string& text)
{
    size_t first = text.find_first_not_of(u" \t");
    if (first == std::u16string::npos)
        return {};
    size_t last = text.find_last_not_of(u" \t");
    return text.substr(first, last - first + 1);
}

bool SameName(const std::u16string& a, const std::u16string& b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

// The section name of a "[name]" line; false for any other line.
bool SectionLine(const UnicodeString& line, std::u16string& name)
{
    std::u16string text = Trimmed(line.str());
    if (text.size() < 2 || text.front() != u'[')
        return false;
    size_t close = text.find(u']');
    if (close == std::u16string::npos)
        return false;
    name = Trimmed(text.substr(1, close - 1));
    return true;
}

// The key and value of a "name=value" line; false for comments, blanks and lines without '='.
bool KeyLine(const UnicodeString& line, std::u16string& key, std::u16string& value)
{
    const std::u16string& text = line.str();
    std::u16string trimmed = Trimmed(text);
    if (trimmed.empty() || trimmed.front() == u';')
        return false;
    size_t equals = text.find(u'=');
    if (equals == std::u16string::npos)
        return false;
    key = Trimmed(text.substr(0, equals));
    value = Trimmed(text.substr(equals + 1));
    return !key.empty();
}

// The lines [begin, end) of the named section's body; begin == end == lines.size() when missing.
void FindSection(const std::vector<UnicodeString>& lines, const std::u16string& section, size_t& header,
                 size_t& begin, size_t& end)
{
    header = begin = end = lines.size();
    std::u16string name;
    for (size_t i = 0; i < lines.size(); ++i)
    {
        if (!SectionLine(lines[i], name))
            continue;
        if (header != lines.size())
        {
            end = i;
            return;
        }
        if (SameName(name, section))
        {
            header = i;
            begin = i + 1;
        }
    }
    end = lines.size();
}

// Index of the key's line inside the section body, or `end`.
size_t FindKey(const std::vector<UnicodeString>& lines, size_t begin, size_t end, const std::u16string& ident)
{
    std::u16string key, value;
    for (size_t i = begin; i < end; ++i)
    {
        if (KeyLine(lines[i], key, value) && SameName(key, ident))
            return i;
    }
    return end;
}

class FileHandle
{
public:
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
    ~FileHandle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return m_handle; }
    bool Close()
    {
        HANDLE h = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return CloseHandle(h) != FALSE;
    }

private:
    HANDLE m_handle;
};

// A settings file never needs more than this; anything bigger is not read.
constexpr LONGLONG MaxIniFileSize = 16 * 1024 * 1024;
} // namespace

// ---- TCustomIniFile ----------------------------------------------------------------------------

int TCustomIniFile::ReadInteger(const UnicodeString& section, const UnicodeString& ident, int defaultValue)
{
    return StrToIntDef(ReadString(section, ident, u""), defaultValue);
}

void TCustomIniFile::WriteInteger(const UnicodeString& section, const UnicodeString& ident, int value)
{
    WriteString(section, ident, IntToStr(value));
}

double TCustomIniFile::ReadFloat(const UnicodeString& section, const UnicodeString& ident, double defaultValue)
{
    return StrToFloatDef(ReadString(section, ident, u""), defaultValue);
}

void TCustomIniFile::WriteFloat(const UnicodeString& section, const UnicodeString& ident, double value)
{
    WriteString(section, ident, FloatToStr(value));
}

bool TCustomIniFile::ReadBool(const UnicodeString& section, const UnicodeString& ident, bool defaultValue)
{
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const UnicodeString& section, const UnicodeString& ident, bool value)
{
    WriteString(section, ident, value ? u"1" : u"0");
}

bool TCustomIniFile::SectionExists(const UnicodeString& section)
{
    std::vector<UnicodeString> idents;
    ReadSection(section, idents);
    return !idents.empty();
}

bool TCustomIniFile::ValueExists(const UnicodeString& section, const UnicodeString& ident)
{
    std::vector<UnicodeString> idents;
    ReadSection(section, idents);
    for (const UnicodeString& name : idents)
    {
        if (SameName(name.str(), ident.str()))
            return true;
    }
    return false;
}

// ---- TIniFile ----------------------------------------------------------------------------------

std::vector<UnicodeString> TIniFile::ReadLines() const
{
    std::vector<UnicodeString> lines;
    FileHandle file(CreateFileW(FileName().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LONGLONG size = 0;
    if (file.Get() == INVALID_HANDLE_VALUE || !GetFileSizeEx(file.Get(), &size) || size <= 0 ||
        size > MaxIniFileSize)
        return lines;
    std::string bytes(static_cast<size_t>(size), '\0');
    DWORD got = 0;
    if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(size), &got, nullptr))
        return lines;
    bytes.resize(got);
    size_t start = 0;
    while (start < bytes.size())
    {
        size_t stop = bytes.find('\n', start);
        if (stop == std::string::npos)
            stop = bytes.size();
        std::string line = bytes.substr(start, stop - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(UnicodeString(line.c_str()));
        start = stop + 1;
    }
    return lines;
}

void TIniFile::WriteLines(const std::vector<UnicodeString>& lines) const
{
    std::string bytes;
    for (const UnicodeString& line : lines)
        bytes += AnsiString(line).str() + "\r\n";
    UnicodeString temporary = FileName() + u".tmp";
    {
        FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.Get() == INVALID_HANDLE_VALUE)
            throw EIniFileException(u"Unable to write to " + FileName());
        DWORD written = 0;
        bool ok = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
        ok = file.Close() && ok;
        if (!ok)
        {
            DeleteFileW(temporary.c_str());
            throw EIniFileException(u"Unable to write to " + FileName());
        }
    }
    if (!MoveFileExW(temporary.c_str(), FileName().c_str(), MOVEFILE_REPLACE_EXISTING))
    {
        DeleteFileW(temporary.c_str());
        throw EIniFileException(u"Unable to write to " + FileName());
    }
}

UnicodeString TIniFile::ReadString(const UnicodeString& section, const UnicodeString& ident,
                                   const UnicodeString& defaultValue)
{
    std::vector<UnicodeString> lines = ReadLines();
    size_t header, begin, end;
    FindSection(lines, section.str(), header, begin, end);
    size_t at = FindKey(lines, begin, end, ident.str());
    std::u16string key, value;
    if (at == end || !KeyLine(lines[at], key, value))
        return defaultValue;
    return UnicodeString(value);
}

void TIniFile::WriteString(const UnicodeString& section, const UnicodeString& ident, const UnicodeString& value)
{
    std::vector<UnicodeString> lines = ReadLines();
    UnicodeString entry = ident + u"=" + value;
    size_t header, begin, end;
    FindSection(lines, section.str(), header, begin, end);
    if (header == lines.size())
    {
        if (!lines.empty() && !Trimmed(lines.back().str()).empty())
            lines.emplace_back();
        lines.push_back(u"[" + section + u"]");
        lines.push_back(entry);
        WriteLines(lines);
        return;
    }
    size_t at = FindKey(lines, begin, end, ident.str());
    std::u16string key, old;
    if (at != end && KeyLine(lines[at], key, old))
        lines[at] = UnicodeString(key) + u"=" + value; // the name keeps its spelling
    else
    {
        // After the section's last key, before the blank lines that part it from the next.
        size_t insert = end;
        while (insert > begin && Trimmed(lines[insert - 1].str()).empty())
            --insert;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert), entry);
    }
    WriteLines(lines);
}

void TIniFile::ReadSection(const UnicodeString& section, std::vector<UnicodeString>& idents)
{
    idents.clear();
    std::vector<UnicodeString> lines = ReadLines();
    size_t header, begin, end;
    FindSection(lines, section.str(), header, begin, end);
    std::u16string key, value;
    for (size_t i = begin; i < end; ++i)
    {
        if (KeyLine(lines[i], key, value))
            idents.emplace_back(key);
    }
}

void TIniFile::EraseSection(const UnicodeString& section)
{
    std::vector<UnicodeString> lines = ReadLines();
    size_t header, begin, end;
    FindSection(lines, section.str(), header, begin, end);
    if (header == lines.size())
        return;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(header), lines.begin() + static_cast<std::ptrdiff_t>(end));
    WriteLines(lines);
}

void TIniFile::DeleteKey(const UnicodeString& section, const UnicodeString& ident)
{
    std::vector<UnicodeString> lines = ReadLines();
    size_t header, begin, end;
    FindSection(lines, section.str(), header, begin, end);
    size_t at = FindKey(lines, begin, end, ident.str());
    if (at == end)
        return;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
    WriteLines(lines);
}
