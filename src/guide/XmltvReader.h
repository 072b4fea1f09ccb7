// Reads an XMLTV document as it arrives (libxml2's SAX2 push parser, the
// fastest of the XML parsers at hand): each channel with its first display
// name, each programme with its start, channel and first title, all handed to
// a TGuideWeek. Nothing is fetched over the network, no external DTD or entity
// is loaded, and entities a document declares itself are not expanded: a
// reference to one is an error.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <libxml/parser.h>

namespace guide {

class TGuideWeek;

class TXmltvReader {
public:
    explicit TXmltvReader(TGuideWeek& week);
    TXmltvReader(const TXmltvReader&) = delete;
    TXmltvReader& operator=(const TXmltvReader&) = delete;

    // Throw EGuideError: "malformed XML at line L, column C: ..." on bad XML.
    void Feed(std::string_view bytes);
    void Finish();

private:
    struct ContextFree {
        // A document's entity declarations land in a document the parser
        // makes and leaves to its owner.
        void operator()(xmlParserCtxt* c) const {
            if (c->myDoc) xmlFreeDoc(c->myDoc);
            xmlFreeParserCtxt(c);
        }
    };
    enum class TRecord { None, Channel, Programme };

    static void OnStart(void* self, const xmlChar* name, const xmlChar*, const xmlChar*, int,
                        const xmlChar**, int attributeCount, int, const xmlChar** attributes);
    static void OnEnd(void* self, const xmlChar*, const xmlChar*, const xmlChar*);
    static void OnText(void* self, const xmlChar* text, int length);
    static void OnError(void* self, xmlErrorPtr error);
    void Start(std::string_view name, int attributeCount, const xmlChar** attributes);
    void End();
    void Parse(const char* data, std::size_t size, bool last);
    [[noreturn]] void Fail() const;

    TGuideWeek& week;
    xmlSAXHandler handler{};
    std::unique_ptr<xmlParserCtxt, ContextFree> context;
    std::string head;  // the first bytes, which tell the document's encoding
    std::string error; // the first fatal error's text
    int errorLine = 0, errorColumn = 0;
    std::string errorDetail;
    bool longText = false;
    int depth = 0;
    TRecord record = TRecord::None;
    int recordDepth = 0;
    std::string id, start; // the record's attributes (channel id or programme channel)
    bool haveText = false; // the first display-name or title has been read
    int textDepth = 0;     // the depth of the element whose text is read, or 0
    std::string text;
};

} // namespace guide
