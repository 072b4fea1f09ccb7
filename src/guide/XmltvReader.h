// Reads an XMLTV document as it arrives (expat): each channel with its first
// display name, each programme with its start, channel and first title, all
// handed to a TGuideWeek. No external DTD or entity is ever loaded, and
// expat's amplification limit stops entity blow-ups.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <expat.h>

namespace guide {

class TGuideWeek;

class TXmltvReader {
public:
    explicit TXmltvReader(TGuideWeek& week);
    TXmltvReader(const TXmltvReader&) = delete;
    TXmltvReader& operator=(const TXmltvReader&) = delete;

    // Throw "malformed XML at line L, column C: ..." on bad XML.
    void Feed(std::string_view bytes);
    void Finish();

private:
    struct ParserFree {
        void operator()(XML_Parser p) const { XML_ParserFree(p); }
    };
    enum class TRecord { None, Channel, Programme };

    static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** attributes);
    static void XMLCALL OnEnd(void* self, const XML_Char* name);
    static void XMLCALL OnText(void* self, const XML_Char* text, int length);
    void Start(std::string_view name, const XML_Char** attributes);
    void End();
    void Parse(const char* data, std::size_t size, bool last);

    TGuideWeek& week;
    std::unique_ptr<XML_ParserStruct, ParserFree> parser;
    int depth = 0;
    TRecord record = TRecord::None;
    int recordDepth = 0;
    std::string id, start; // the record's attributes (channel id or programme channel)
    bool haveText = false; // the first display-name or title has been read
    int textDepth = 0;     // the depth of the element whose text is read, or 0
    std::string text;
};

} // namespace guide
