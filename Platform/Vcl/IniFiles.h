// Settings files of sections and "Name=Value" keys. Section and key names compare without case;
// the file is text in the ANSI code page (1251) with CRLF line ends. TIniFile reads the file at
// every read and rewrites it at every write, as the platform's profile functions do: a write goes
// to a temporary file beside it, which then replaces the file, so a failed write raises
// EIniFileException and leaves the old file as it was.
#pragma once

#include "Platform/Vcl/Classes.h"
#include "Platform/Vcl/SysUtils.h"

#include <vector>

class EIniFileException : public Exception
{
public:
    using Exception::Exception;
};

class TCustomIniFile : public TObject
{
public:
    explicit TCustomIniFile(const UnicodeString& fileName) : m_fileName(fileName) {}

    const UnicodeString& FileName() const { return m_fileName; }

    // The key's text, or the default when the section or key is missing.
    virtual UnicodeString ReadString(const UnicodeString& section, const UnicodeString& ident,
                                     const UnicodeString& defaultValue) = 0;
    virtual void WriteString(const UnicodeString& section, const UnicodeString& ident,
                             const UnicodeString& value) = 0;
    // Reads the section's key names in file order.
    virtual void ReadSection(const UnicodeString& section, std::vector<UnicodeString>& idents) = 0;
    virtual void EraseSection(const UnicodeString& section) = 0;
    virtual void DeleteKey(const UnicodeString& section, const UnicodeString& ident) = 0;

    // Decimal or hexadecimal ("$FF", "0xFF"); text that is no number gives the default.
    int ReadInteger(const UnicodeString& section, const UnicodeString& ident, int defaultValue);
    void WriteInteger(const UnicodeString& section, const UnicodeString& ident, int value);
    // Written with FloatToStr; text that is no number gives the default.
    double ReadFloat(const UnicodeString& section, const UnicodeString& ident, double defaultValue);
    void WriteFloat(const UnicodeString& section, const UnicodeString& ident, double value);
    // As integers: 0 is false, any other number true; written as 0 or 1.
    bool ReadBool(const UnicodeString& section, const UnicodeString& ident, bool defaultValue);
    void WriteBool(const UnicodeString& section, const UnicodeString& ident, bool value);
    bool SectionExists(const UnicodeString& section);
    bool ValueExists(const UnicodeString& section, const UnicodeString& ident);

private:
    UnicodeString m_fileName;
};

class TIniFile : public TCustomIniFile
{
public:
    using TCustomIniFile::TCustomIniFile;

    UnicodeString ReadString(const UnicodeString& section, const UnicodeString& ident,
                             const UnicodeString& defaultValue) override;
    void WriteString(const UnicodeString& section, const UnicodeString& ident, const UnicodeString& value) override;
    void ReadSection(const UnicodeString& section, std::vector<UnicodeString>& idents) override;
    void EraseSection(const UnicodeString& section) override;
    void DeleteKey(const UnicodeString& section, const UnicodeString& ident) override;

    // The file's lines as they are read (a missing or unreadable file has none).
    std::vector<UnicodeString> ReadLines() const;

private:
    // Writes the lines through a temporary file that then replaces the file.
    void WriteLines(const std::vector<UnicodeString>& lines) const;
};
