#include "guide/XmltvReader.h"

#include <climits>
#include <cstring>
#include <stdexcept>

#include "guide/GuideWeek.h"

namespace guide {
namespace {

std::string_view Attribute(const XML_Char** attributes, const char* name) {
    for (; attributes[0]; attributes += 2)
        if (!std::strcmp(attributes[0], name)) return attributes[1];
    return {};
}

} // namespace

TXmltvReader::TXmltvReader(TGuideWeek& week) : week(week), parser(XML_ParserCreate(nullptr)) {
    if (!parser) throw std::runtime_error("cannot start the XML parser");
    XML_SetUserData(parser.get(), this);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    // Parameter entities would pull in the external DTD; with no external
    // entity handler expat reads nothing but the bytes it is given.
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
}

void XMLCALL TXmltvReader::OnStart(void* self, const XML_Char* name, const XML_Char** attributes) {
    static_cast<TXmltvReader*>(self)->Start(name, attributes);
}
void XMLCALL TXmltvReader::OnEnd(void* self, const XML_Char*) {
    static_cast<TXmltvReader*>(self)->End();
}
void XMLCALL TXmltvReader::OnText(void* self, const XML_Char* text, int length) {
    auto* reader = static_cast<TXmltvReader*>(self);
    if (reader->textDepth) reader->text.append(text, std::size_t(length));
}

void TXmltvReader::Start(std::string_view name, const XML_Char** attributes) {
    ++depth;
    if (record == TRecord::None) {
        const bool channel = name == "channel";
        if (!channel && name != "programme") return;
        record = channel ? TRecord::Channel : TRecord::Programme;
        recordDepth = depth;
        id = Attribute(attributes, channel ? "id" : "channel");
        if (!channel) start = Attribute(attributes, "start");
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
    XML_Parser p = parser.get();
    // expat takes an int length: hand over big pieces in parts.
    while (size > INT_MAX / 2) {
        Parse(data, INT_MAX / 2, false);
        data += INT_MAX / 2;
        size -= INT_MAX / 2;
    }
    if (XML_Parse(p, data, int(size), last) == XML_STATUS_OK) return;
    throw std::runtime_error("malformed XML at line " +
                             std::to_string(XML_GetCurrentLineNumber(p)) + ", column " +
                             std::to_string(XML_GetCurrentColumnNumber(p) + 1) + ": " +
                             XML_ErrorString(XML_GetErrorCode(p)));
}

void TXmltvReader::Feed(std::string_view bytes) {
    Parse(bytes.data(), bytes.size(), false);
}
void TXmltvReader::Finish() {
    Parse(nullptr, 0, true);
}

} // namespace guide
