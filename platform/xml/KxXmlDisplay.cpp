#include "platform/xml/KxXmlDisplay.h"

#include <libxml/xmlreader.h>

#include <memory>

#include "platform/base/KxText.h"
#include "platform/xml/KxXmlLimits.h"
#include "platform/xml/KxXmlTree.h"

namespace kx {

namespace {

std::string text(const xmlChar* value) {
    return value == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(value));
}

std::string escaped(const std::string& value) {
    KxCString out;
    appendEscapedMarkup(out, value, false);
    return out;
}

bool isBlank(const std::string& value) {
    return value.find_first_not_of(" \t\r\n") == std::string::npos;
}

// libxml2 would print its messages on standard error.
void ignoreError(void*, xmlErrorPtr) {}

class Layout {
  public:
    void add(XmlDisplayToken::Kind kind, std::string piece) {
        if (!tokens.empty() && tokens.back().kind == kind) {
            tokens.back().text += piece;
        } else {
            tokens.push_back({kind, std::move(piece)});
        }
    }
    void newLine(int depth) {
        if (!tokens.empty()) {
            add(XmlDisplayToken::Kind::Plain,
                "\n" + std::string(static_cast<std::size_t>(depth) * 2, ' '));
        }
    }

    std::vector<XmlDisplayToken> tokens;
};

}  // namespace

std::optional<std::vector<XmlDisplayToken>> layOutXml(std::string_view input) {
    using Kind = XmlDisplayToken::Kind;
    if (findCrowdedStartTag(input)) {
        return std::nullopt;  // shown as plain text, without libxml2's quadratic work
    }
    std::unique_ptr<xmlTextReader, decltype(&xmlFreeTextReader)> reader(
        xmlReaderForMemory(input.data(), static_cast<int>(input.size()), nullptr, nullptr,
                           XML_PARSE_NONET),
        &xmlFreeTextReader);
    if (reader == nullptr) {
        return std::nullopt;
    }
    xmlTextReaderSetStructuredErrorHandler(reader.get(), &ignoreError, nullptr);
    xmlTextReaderSetParserProp(reader.get(), XML_PARSER_LOADDTD, 0);
    xmlTextReaderSetParserProp(reader.get(), XML_PARSER_SUBST_ENTITIES, 0);

    Layout layout;
    // Whether the element last opened has had no child element yet, and
    // whether text followed its start tag directly.
    bool openWithoutChildren = false;
    int result = 0;
    while ((result = xmlTextReaderRead(reader.get())) == 1) {
        const int depth = xmlTextReaderDepth(reader.get());
        if (depth >= static_cast<int>(kMaxXmlDepth)) {
            return std::nullopt;
        }
        switch (xmlTextReaderNodeType(reader.get())) {
            case XML_READER_TYPE_ELEMENT: {
                layout.newLine(depth);
                const std::string name = text(xmlTextReaderConstName(reader.get()));
                layout.add(Kind::Tag, "<" + name);
                const bool empty = xmlTextReaderIsEmptyElement(reader.get()) == 1;
                const int count = xmlTextReaderAttributeCount(reader.get());
                for (int i = 0; i < count; ++i) {
                    if (xmlTextReaderMoveToAttributeNo(reader.get(), i) != 1) {
                        continue;
                    }
                    layout.add(Kind::Plain, " ");
                    layout.add(Kind::AttributeName, text(xmlTextReaderConstName(reader.get())));
                    layout.add(Kind::Plain, "=\"");
                    layout.add(Kind::AttributeValue,
                               escaped(text(xmlTextReaderConstValue(reader.get()))));
                    layout.add(Kind::Plain, "\"");
                }
                xmlTextReaderMoveToElement(reader.get());
                layout.add(Kind::Tag, empty ? "/>" : ">");
                openWithoutChildren = !empty;
                break;
            }
            case XML_READER_TYPE_END_ELEMENT:
                if (!openWithoutChildren) {
                    layout.newLine(depth);
                }
                layout.add(Kind::Tag, "</" + text(xmlTextReaderConstName(reader.get())) + ">");
                openWithoutChildren = false;
                break;
            case XML_READER_TYPE_TEXT:
            case XML_READER_TYPE_CDATA: {
                const std::string value = text(xmlTextReaderConstValue(reader.get()));
                if (!openWithoutChildren) {
                    if (isBlank(value)) {
                        break;
                    }
                    layout.newLine(depth);
                }
                layout.add(Kind::Text, escaped(value));
                break;
            }
            case XML_READER_TYPE_COMMENT:
                layout.newLine(depth);
                layout.add(Kind::Comment,
                           "<!--" + text(xmlTextReaderConstValue(reader.get())) + "-->");
                openWithoutChildren = false;
                break;
            case XML_READER_TYPE_PROCESSING_INSTRUCTION:
                layout.newLine(depth);
                layout.add(Kind::Comment, "<?" + text(xmlTextReaderConstName(reader.get())) + " " +
                                              text(xmlTextReaderConstValue(reader.get())) + "?>");
                break;
            case XML_READER_TYPE_ENTITY_REFERENCE:
                layout.add(Kind::Text, "&" + text(xmlTextReaderConstName(reader.get())) + ";");
                break;
            default:
                // Whitespace between elements and the document type.
                break;
        }
    }
    if (result != 0) {
        return std::nullopt;
    }
    return std::move(layout.tokens);
}

const char* displayClass(XmlDisplayToken::Kind kind) {
    switch (kind) {
        case XmlDisplayToken::Kind::Tag:
            return "tag";
        case XmlDisplayToken::Kind::AttributeName:
            return "attr";
        case XmlDisplayToken::Kind::AttributeValue:
            return "value";
        case XmlDisplayToken::Kind::Text:
            return "text";
        case XmlDisplayToken::Kind::Comment:
            return "comment";
        case XmlDisplayToken::Kind::Plain:
            break;
    }
    return "";
}

}  // namespace kx
