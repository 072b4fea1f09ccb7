#include "guide/XmltvReader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>

#include <libxml/SAX2.h>

#include "guide/GuideError.h"
#include "guide/GuideWeek.h"

namespace guide {
namespace {

// SAX2 gives five pointers per attribute: name, prefix, URI, value, value end.
std::string_view Attribute(int count, const xmlChar** attributes, const char* name) {
    for (int i = 0; i < count; ++i, attributes += 5)
        if (!std::strcmp(reinterpret_cast<const char*>(attributes[0]), name))
            return {reinterpret_cast<const char*>(attributes[3]),
                    std::size_t(attributes[4] - attributes[3])};
    return {};
}

} // namespace

TXmltvReader::TXmltvReader(TGuideWeek& week) : week(week) {
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = OnStart;
    handler.endElementNs = OnEnd;
    handler.characters = OnText;
    handler.cdataBlock = OnText;
    handler.serror = OnError;
}

void TXmltvReader::OnStart(void* self, const xmlChar* name, const xmlChar*, const xmlChar*, int,
                           const xmlChar**, int attributeCount, int, const xmlChar** attributes) {
    static_cast<TXmltvReader*>(self)->Start(reinterpret_cast<const char*>(name), attributeCount,
                                            attributes);
}
void TXmltvReader::OnEnd(void* self, const xmlChar*, const xmlChar*, const xmlChar*) {
    static_cast<TXmltvReader*>(self)->End();
}
void TXmltvReader::OnText(void* self, const xmlChar* text, int length) {
    auto* reader = static_cast<TXmltvReader*>(self);
    if (!reader->textDepth) return;
    reader->text.append(reinterpret_cast<const char*>(text), std::size_t(length));
    // A title is a line of the schedule; one this long is no title, and
    // keeping it would let one record take any amount of memory.
    if (reader->text.size() > MaxTextBytes && reader->error.empty()) {
        const int line = xmlSAX2GetLineNumber(reader->context.get());
        reader->error = "a title or name longer than " + std::to_string(MaxTextBytes / 1024) +
                        " KB at line " + std::to_string(line);
        reader->errorLine = line;
        reader->longText = true;
        xmlStopParser(reader->context.get());
    }
}

void TXmltvReader::OnError(void* self, xmlErrorPtr e) {
    auto* reader = static_cast<TXmltvReader*>(self);
    if (e->level != XML_ERR_FATAL || !reader->error.empty()) return;
    std::string message = e->message ? e->message : "unknown error";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    // One line, as the tools print it and a dialog shows it.
    std::replace(message.begin(), message.end(), '\n', ' ');
    reader->error = "malformed XML at line " + std::to_string(e->line) + ", column " +
                    std::to_string(e->int2) + ": " + message;
    reader->errorLine = e->line;
    reader->errorColumn = e->int2;
    reader->errorDetail = message;
}

void TXmltvReader::Start(std::string_view name, int attributeCount, const xmlChar** attributes) {
    ++depth;
    if (record == TRecord::None) {
        const bool channel = name == "channel";
        if (!channel && name != "programme") return;
        record = channel ? TRecord::Channel : TRecord::Programme;
        recordDepth = depth;
        id = Attribute(attributeCount, attributes, channel ? "id" : "channel");
        if (!channel) start = Attribute(attributeCount, attributes, "start");
        haveText = false;
        text.clear();
        return;
    }
    // Only the first display-name or title right inside the record counts.
    const char* wanted = record == TRecord::Channel ? "display-name" : "title";
    if (depth == recordDepth + 1 && !haveText && name == wanted) textDepth = depth;
}

void TXmltvReader::End() {
    if (textDepth == depth) {
        textDepth = 0;
        haveText = true;
    }
    if (record != TRecord::None && depth == recordDepth) {
        if (record == TRecord::Channel)
            week.AddChannel(id, text, haveText);
        else
            week.AddProgramme(id, start, text);
        record = TRecord::None;
    }
    --depth;
}

void TXmltvReader::Parse(const char* data, std::size_t size, bool last) {
    // libxml2 takes an int length: hand over big pieces in parts.
    while (size > INT_MAX / 2) {
        Parse(data, INT_MAX / 2, false);
        data += INT_MAX / 2;
        size -= INT_MAX / 2;
    }
    // The parser guesses the encoding from the first four bytes it is given.
    if (!context) {
        head.append(data, size);
        if (head.size() < 4 && !last) return;
        if (head.empty()) throw EGuideError(EGuideError::ceEmpty, "the guide is empty");
        context.reset(
            xmlCreatePushParserCtxt(&handler, this, head.data(), int(head.size()), nullptr));
        if (!context) throw std::runtime_error("cannot start the XML parser");
        xmlCtxtUseOptions(context.get(), XML_PARSE_NONET);
        data = nullptr;
        size = 0;
        if (!last && error.empty()) return;
    }
    if (error.empty()) xmlParseChunk(context.get(), data, int(size), last);
    if (!error.empty()) Fail();
    if (!context->wellFormed) throw EGuideError(EGuideError::ceXml, "malformed XML");
}

void TXmltvReader::Fail() const {
    EGuideError e(longText ? EGuideError::ceLongText : EGuideError::ceXml, error);
    e.line = errorLine;
    e.column = errorColumn;
    e.detail = errorDetail;
    throw e;
}

void TXmltvReader::Feed(std::string_view bytes) {
    Parse(bytes.data(), bytes.size(), false);
}
void TXmltvReader::Finish() {
    Parse(nullptr, 0, true);
}

} // namespace guide
