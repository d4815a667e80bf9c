#include "orvowizard/tryit/KxSoapForm.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"
#include "platform/xml/KxXmlTree.h"

namespace {

constexpr std::size_t kDescriptionLimit = 4 * 1024 * 1024;
// The occurrences a form shows of one repeated item at most.
constexpr std::size_t kMaxOccurrences = 100;
// The items a form shows, and a request holds, at most: nested repeats
// multiply, and the counts come from the form.
constexpr std::size_t kMaxFormItems = 5000;

constexpr const char* kSoap11Envelope = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr const char* kSoap12Envelope = "http://www.w3.org/2003/05/soap-envelope";
constexpr const char* kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";

std::size_t occursOf(const std::string& text, std::size_t fallback) {
    if (text == "unbounded") {
        return KxSoapItem::kUnbounded;
    }
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : fallback;
}

KxSoapItem readItem(const kx::XmlElement& element) {
    KxSoapItem item;
    if (element.name == "attribute") {
        item.kind = KxSoapItem::Kind::Attribute;
        item.min = element.attributeOr("required") == "true" ? 1 : 0;
    } else if (element.name == "choice") {
        item.kind = KxSoapItem::Kind::Choice;
    } else if (element.name == "text") {
        item.kind = KxSoapItem::Kind::Text;
    }
    item.name = element.attributeOr("name");
    item.ns = element.attributeOr("ns");
    item.type = element.attributeOr("type");
    if (item.kind == KxSoapItem::Kind::Element || item.kind == KxSoapItem::Kind::Choice) {
        item.min = occursOf(element.attributeOr("min"), 1);
        item.max = occursOf(element.attributeOr("max"), 1);
    }
    item.nillable = element.attributeOr("nillable") == "true";
    item.list = element.attributeOr("list") == "true";
    item.recursive = element.attributeOr("recursive") == "true";
    item.defaultValue = element.attributeOr("default");
    item.fixedValue = element.attributeOr("fixed");
    for (const kx::XmlElement& child : element.children) {
        if (child.name == "value") {
            item.values.push_back(child.text);
        } else if (child.name == "element" || child.name == "attribute" || child.name == "choice" ||
                   child.name == "text") {
            item.children.push_back(readItem(child));
        }
    }
    return item;
}

// ---- paths and values ---------------------------------------------------------

std::string childPath(const std::string& parent, std::size_t index) {
    return parent.empty() ? std::to_string(index) : parent + "." + std::to_string(index);
}

std::string occurrencePath(const std::string& base, std::size_t occurrence) {
    return base + "#" + std::to_string(occurrence);
}

const std::string* valueOf(const KxFormValues& values, const std::string& key) {
    const auto found = values.find(key);
    return found == values.end() ? nullptr : &found->second;
}

// The value a simple item has in the form: the one given, else its fixed or
// default value.
std::string simpleValue(const KxSoapItem& item, const KxFormValues& values,
                        const std::string& path) {
    if (!item.fixedValue.empty()) {
        return item.fixedValue;
    }
    if (const std::string* given = valueOf(values, "v:" + path)) {
        return *given;
    }
    if (!item.defaultValue.empty()) {
        return item.defaultValue;
    }
    // A required enumeration starts at its first value, as its list shows
    // no empty choice.
    if (!item.values.empty() && (item.min > 0 || item.repeated())) {
        return item.values.front();
    }
    // A required boolean starts as false, so that its checkbox means it.
    return item.type == "boolean" && item.min > 0 ? "false" : "";
}

std::size_t occurrences(const KxSoapItem& item, const KxFormValues& values,
                        const std::string& base) {
    std::size_t count = item.min;
    if (const std::string* given = valueOf(values, "n:" + base)) {
        count = occursOf(*given, item.min);
    }
    return std::clamp(count, item.min, std::min(item.max, kMaxOccurrences));
}

bool isOn(const KxFormValues& values, const std::string& key) {
    const std::string* given = valueOf(values, key);
    return given != nullptr && *given == "on";
}

// Whether an optional complex element is included.
bool included(const KxSoapItem& item, const KxFormValues& values, const std::string& path) {
    return item.min > 0 || item.repeated() || isOn(values, "u:" + path);
}

// The alternative a choice occurrence holds: its index, or nothing.
std::optional<std::size_t> chosen(const KxSoapItem& choice, const KxFormValues& values,
                                  const std::string& path) {
    const std::string* given = valueOf(values, "c:" + path);
    if (given == nullptr) {
        if (choice.min == 0 || choice.children.empty()) {
            return std::nullopt;
        }
        return 0;
    }
    for (std::size_t i = 0; i < choice.children.size(); ++i) {
        if (choice.children[i].name == *given) {
            return i;
        }
    }
    return std::nullopt;
}

// Types whose empty text is a value of its own.
bool emptyIsAValue(const std::string& type) {
    static const std::set<std::string> kTypes = {
        "string",       "normalizedString", "token",         "anyURI",
        "base64Binary", "hexBinary",        "anySimpleType", "",
        "NMTOKENS",     "IDREFS",           "ENTITIES"};
    return kTypes.contains(type);
}

std::string typeHint(const KxSoapItem& item) {
    std::string hint = item.type.empty() ? "string" : item.type;
    if (item.list) {
        hint = "list of " + hint + ", separated by spaces";
    }
    return hint;
}

// ---- form rows -------------------------------------------------------------------

class RowWriter {
  public:
    RowWriter(const KxFormValues& values, std::vector<KxFormRow>& rows)
        : values_(values), rows_(rows) {}

    void items(const std::vector<KxSoapItem>& list, const std::string& parent, std::size_t depth) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            item(list[i], childPath(parent, i), depth);
        }
    }

  private:
    void item(const KxSoapItem& item, const std::string& base, std::size_t depth) {
        if (item.kind == KxSoapItem::Kind::Attribute || item.kind == KxSoapItem::Kind::Text) {
            field(item, base, depth,
                  item.kind == KxSoapItem::Kind::Text ? "(text)" : "@" + item.name, item.min == 0);
            return;
        }
        if (item.recursive) {
            KxFormRow note;
            note.kind = KxFormRow::Kind::Note;
            note.depth = depth;
            note.label = item.name;
            note.hint = "left out: its type contains itself, or the form would be too deep";
            rows_.push_back(note);
            return;
        }
        if (!item.repeated()) {
            occurrence(item, base, depth, item.name);
            return;
        }
        const std::size_t count = occurrences(item, values_, base);
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t before = rows_.size();
            occurrence(item, occurrencePath(base, k), depth,
                       item.name + " [" + std::to_string(k + 1) + "]");
            if (k + 1 == count && count > item.min && rows_.size() > before) {
                rows_[before].removable = true;
                rows_[before].path = occurrencePath(base, k);
            }
        }
        KxFormRow add;
        add.kind = KxFormRow::Kind::Add;
        add.depth = depth;
        add.label = item.name;
        add.path = base;
        add.value = std::to_string(count);
        add.optional = count < std::min(item.max, kMaxOccurrences);
        rows_.push_back(add);
    }

    void occurrence(const KxSoapItem& item, const std::string& path, std::size_t depth,
                    const std::string& label) {
        if (budget_ == 0) {
            if (!cut_) {
                KxFormRow note;
                note.kind = KxFormRow::Kind::Note;
                note.depth = depth;
                note.label = item.name;
                note.hint = "the form is cut here: it would show more than " +
                            std::to_string(kMaxFormItems) + " items";
                rows_.push_back(note);
                cut_ = true;
            }
            return;
        }
        --budget_;
        if (item.kind == KxSoapItem::Kind::Choice) {
            KxFormRow open;
            open.kind = KxFormRow::Kind::Open;
            open.control = "choice";
            open.depth = depth;
            open.label = label.empty() ? "one of" : label;
            open.path = path;
            open.optional = item.min == 0;
            if (open.optional) {
                open.options.push_back("");
            }
            for (const KxSoapItem& alternative : item.children) {
                open.options.push_back(alternative.name);
            }
            const auto index = chosen(item, values_, path);
            open.value = index ? item.children[*index].name : "";
            rows_.push_back(open);
            if (index) {
                this->item(item.children[*index], childPath(path, *index), depth + 1);
            }
            rows_.push_back(close(depth));
            return;
        }
        if (!item.isComplex()) {
            field(item, path, depth, label, item.min == 0 && !item.repeated());
            return;
        }
        KxFormRow open;
        open.kind = KxFormRow::Kind::Open;
        open.depth = depth;
        open.label = label;
        open.path = path;
        open.optional = item.min == 0 && !item.repeated();
        open.control = open.optional ? "include" : "";
        open.checked = included(item, values_, path);
        open.hint = item.nillable ? "nillable" : "";
        rows_.push_back(open);
        if (item.nillable) {
            nil(path, depth + 1);
        }
        items(item.children, path, depth + 1);
        rows_.push_back(close(depth));
    }

    void field(const KxSoapItem& item, const std::string& path, std::size_t depth,
               const std::string& label, bool optional) {
        KxFormRow row;
        row.depth = depth;
        row.label = label;
        row.path = path;
        row.optional = optional;
        row.value = simpleValue(item, values_, path);
        row.readOnly = !item.fixedValue.empty();
        row.hint = typeHint(item);
        row.sample = sampleValue(item);
        if (!item.values.empty()) {
            row.control = "select";
            if (optional) {
                row.options.push_back("");
            }
            row.options.insert(row.options.end(), item.values.begin(), item.values.end());
        } else if (item.type == "boolean" && !optional && !item.list) {
            row.control = "checkbox";
            row.checked = row.value == "true" || row.value == "1";
        } else if (item.type == "boolean" && !item.list) {
            row.control = "select";
            row.options = {"", "true", "false"};
        } else {
            row.control = "text";
        }
        if (optional) {
            row.hint += emptyIsAValue(item.type) && item.type != ""
                            ? "; optional: left out when empty"
                            : "; optional";
        }
        rows_.push_back(row);
        if (item.nillable) {
            nil(path, depth);
        }
    }

    void nil(const std::string& path, std::size_t depth) {
        KxFormRow row;
        row.depth = depth;
        row.control = "nil";
        row.label = "nil";
        row.path = path;
        row.checked = isOn(values_, "x:" + path);
        rows_.push_back(row);
    }

    static KxFormRow close(std::size_t depth) {
        KxFormRow row;
        row.kind = KxFormRow::Kind::Close;
        row.depth = depth;
        return row;
    }

    const KxFormValues& values_;
    std::vector<KxFormRow>& rows_;
    std::size_t budget_ = kMaxFormItems;
    bool cut_ = false;
};

// ---- the request ---------------------------------------------------------------

class EnvelopeWriter {
  public:
    EnvelopeWriter(const KxSoapOperation& operation, const KxFormValues& values,
                   KxSoapRequest& request)
        : values_(values), request_(request) {
        prefixFor(operation.wrapperNs);
        collect(operation.input);
    }

    const std::vector<std::pair<std::string, std::string>>& declarations() const {
        return declarations_;
    }

    std::string qualified(const std::string& ns, const std::string& name) {
        const std::string prefix = prefixFor(ns);
        return prefix.empty() ? name : prefix + ":" + name;
    }

    void items(const std::vector<KxSoapItem>& list, const std::string& parent, int indent) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            itemAt(list[i], childPath(parent, i), indent);
        }
    }

    std::string text;

  private:
    void collect(const std::vector<KxSoapItem>& list) {
        for (const KxSoapItem& item : list) {
            if (item.kind != KxSoapItem::Kind::Choice && item.kind != KxSoapItem::Kind::Text) {
                prefixFor(item.ns);
            }
            collect(item.children);
        }
    }

    std::string prefixFor(const std::string& ns) {
        if (ns.empty()) {
            return "";
        }
        // The xml prefix is bound already and may not be declared.
        if (ns == "http://www.w3.org/XML/1998/namespace") {
            return "xml";
        }
        for (const auto& [prefix, uri] : declarations_) {
            if (uri == ns) {
                return prefix;
            }
        }
        const std::string prefix = "ns" + std::to_string(declarations_.size() + 1);
        declarations_.emplace_back(prefix, ns);
        return prefix;
    }

    // One item at its path: each of its occurrences.
    void itemAt(const KxSoapItem& item, const std::string& base, int indent) {
        if (item.kind == KxSoapItem::Kind::Attribute || item.kind == KxSoapItem::Kind::Text ||
            item.recursive) {
            return;
        }
        if (!item.repeated()) {
            occurrence(item, base, indent);
            return;
        }
        const std::size_t count = occurrences(item, values_, base);
        for (std::size_t k = 0; k < count; ++k) {
            occurrence(item, occurrencePath(base, k), indent);
        }
    }

    void occurrence(const KxSoapItem& item, const std::string& path, int indent) {
        if (budget_ == 0) {
            if (!cut_) {
                request_.problems.push_back("The request would hold more than " +
                                            std::to_string(kMaxFormItems) + " items.");
                cut_ = true;
            }
            return;
        }
        --budget_;
        if (item.kind == KxSoapItem::Kind::Choice) {
            // The alternative's path is below the choice's occurrence.
            if (const auto index = chosen(item, values_, path)) {
                itemAt(item.children[*index], childPath(path, *index), indent);
            } else if (item.min > 0) {
                request_.problems.push_back(
                    "Choose one of the alternatives for " +
                    (item.name.empty() ? std::string("a choice") : item.name) + ".");
            }
            return;
        }
        if (item.isComplex() && !included(item, values_, path)) {
            return;
        }
        const std::string name = qualified(item.ns, item.name);
        const std::string pad(static_cast<std::size_t>(indent) * 2, ' ');
        if (item.nillable && isOn(values_, "x:" + path)) {
            text += pad + "<" + name + " xsi:nil=\"true\"/>\n";
            usesXsi_ = true;
            return;
        }
        if (!item.isComplex()) {
            const std::string value = simpleValue(item, values_, path);
            if (value.empty() && item.min == 0 && !item.repeated()) {
                return;
            }
            check(item, value);
            text += pad + "<" + name + ">" + escaped(value) + "</" + name + ">\n";
            return;
        }
        // Attributes and simple content first, then the child elements.
        std::string start = "<" + name;
        std::string content;
        bool hasContent = false;
        for (std::size_t i = 0; i < item.children.size(); ++i) {
            const KxSoapItem& child = item.children[i];
            const std::string childAt = childPath(path, i);
            if (child.kind == KxSoapItem::Kind::Attribute) {
                const std::string value = simpleValue(child, values_, childAt);
                if (value.empty() && child.min == 0) {
                    continue;
                }
                check(child, value);
                start += " " + qualified(child.ns, child.name) + "=\"" + escaped(value) + "\"";
            } else if (child.kind == KxSoapItem::Kind::Text) {
                content = simpleValue(child, values_, childAt);
                check(child, content);
                hasContent = true;
            }
        }
        const std::size_t mark = text.size();
        items(item.children, path, indent + 1);
        const std::string inner = text.substr(mark);
        text.resize(mark);
        if (hasContent) {
            text += pad + start + ">" + escaped(content) + "</" + name + ">\n";
        } else if (inner.empty()) {
            text += pad + start + "/>\n";
        } else {
            text += pad + start + ">\n" + inner + pad + "</" + name + ">\n";
        }
    }

    void check(const KxSoapItem& item, const std::string& value) {
        if (value.empty() && !emptyIsAValue(item.type)) {
            request_.problems.push_back((item.kind == KxSoapItem::Kind::Attribute ? "@" : "") +
                                        (item.name.empty() ? std::string("the text") : item.name) +
                                        " needs a value (" + item.type + ").");
        }
    }

    static std::string escaped(const std::string& value) {
        KxCString out;
        kx::appendEscapedMarkup(out, value, false);
        return out;
    }

    const KxFormValues& values_;
    KxSoapRequest& request_;
    std::size_t budget_ = kMaxFormItems;
    bool cut_ = false;
    std::vector<std::pair<std::string, std::string>> declarations_;

  public:
    bool usesXsi_ = false;
};

// The simple values below an element, by path, for the answer's result.
void collectValues(const kx::XmlElement& element, const std::string& path,
                   std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [name, value] : element.attributes) {
        values.emplace_back(path + "/@" + name, value);
    }
    if (element.children.empty()) {
        values.emplace_back(path, element.text);
        return;
    }
    std::map<std::string, std::size_t> seen;
    std::map<std::string, std::size_t> total;
    for (const kx::XmlElement& child : element.children) {
        ++total[child.name];
    }
    for (const kx::XmlElement& child : element.children) {
        std::string childAt = path + "/" + child.name;
        if (total[child.name] > 1) {
            childAt += "[" + std::to_string(++seen[child.name]) + "]";
        }
        collectValues(child, childAt, values);
    }
}

std::string trimmed(const std::string& text) {
    return std::string(kx::trimWhitespace(text));
}

}  // namespace

std::string sampleValue(const KxSoapItem& item) {
    if (!item.fixedValue.empty()) {
        return item.fixedValue;
    }
    if (!item.defaultValue.empty()) {
        return item.defaultValue;
    }
    if (!item.values.empty()) {
        return item.values.front();
    }
    static const std::map<std::string, std::string> kSamples = {
        {"boolean", "true"},
        {"decimal", "1.5"},
        {"float", "1.5"},
        {"double", "1.5"},
        {"negativeInteger", "-1"},
        {"nonPositiveInteger", "0"},
        {"dateTime", "2026-12-06T10:00:00Z"},
        {"date", "2026-12-06"},
        {"time", "10:00:00"},
        {"duration", "P1DT2H"},
        {"gYear", "2026"},
        {"gYearMonth", "2026-12"},
        {"gMonth", "--12"},
        {"gDay", "---06"},
        {"gMonthDay", "--12-06"},
        {"base64Binary", "aGVsbG8="},
        {"hexBinary", "68656C6C6F"},
        {"anyURI", "http://example.com/"},
        {"language", "en"},
    };
    if (const auto found = kSamples.find(item.type); found != kSamples.end()) {
        return found->second;
    }
    const bool integral = item.type.find("nteger") != std::string::npos ||
                          item.type.ends_with("int") || item.type.ends_with("Int") ||
                          item.type.ends_with("ong") || item.type.ends_with("hort") ||
                          item.type.ends_with("yte");
    return integral ? "1" : "sample";
}

const KxSoapOperation* KxSoapPort::operation(const std::string& operationName) const {
    for (const KxSoapOperation& candidate : operations) {
        if (candidate.name == operationName) {
            return &candidate;
        }
    }
    return nullptr;
}

const KxSoapPort* KxServiceDescription::port(const std::string& portName) const {
    for (const KxSoapPort& candidate : ports) {
        if (candidate.name == portName) {
            return &candidate;
        }
    }
    return nullptr;
}

KxServiceDescription parseServiceDescription(const std::string& text, const std::string& name) {
    KxServiceDescription description;
    const kx::XmlDocument document = kx::parseXmlDocument(text, kx::XmlEntityRefusal::All);
    if (document.fault) {
        description.error = name + ": line " + std::to_string(document.fault->at.line) + ": " +
                            document.fault->message;
        return description;
    }
    if (!document.root || document.root->name != "operations") {
        description.error = name + " does not describe operations.";
        return description;
    }
    for (const kx::XmlElement* portElement : document.root->childrenNamed("port")) {
        KxSoapPort port;
        port.name = portElement->attributeOr("name");
        port.path = portElement->attributeOr("path");
        port.address = portElement->attributeOr("address");
        port.soapVersion = portElement->attributeOr("soap", "1.1");
        for (const kx::XmlElement* operationElement : portElement->childrenNamed("operation")) {
            KxSoapOperation operation;
            operation.name = operationElement->attributeOr("name");
            operation.action = operationElement->attributeOr("action");
            operation.style = operationElement->attributeOr("style", "document");
            operation.oneWay = operationElement->attributeOr("one-way") == "true";
            operation.truncated = operationElement->attributeOr("truncated") == "true";
            if (const kx::XmlElement* documentation = operationElement->child("documentation")) {
                operation.documentation = trimmed(documentation->text);
            }
            if (const kx::XmlElement* input = operationElement->child("input")) {
                operation.wrapper = input->attributeOr("wrapper");
                operation.wrapperNs = input->attributeOr("wrapper-ns");
                for (const kx::XmlElement& child : input->children) {
                    operation.input.push_back(readItem(child));
                }
            }
            port.operations.push_back(std::move(operation));
        }
        description.ports.push_back(std::move(port));
    }
    return description;
}

KxServiceDescription readServiceDescription(const std::string& dir) {
    KxCString text;
    const std::string path = dir + "\\" + kServiceDescriptionFile;
    switch (kx::os::readRegularFile(path, text, kDescriptionLimit)) {
        case kx::os::ReadOutcome::Complete:
            return parseServiceDescription(text, kServiceDescriptionFile);
        case kx::os::ReadOutcome::TooLarge:
        case kx::os::ReadOutcome::Truncated:
            return {{}, std::string(kServiceDescriptionFile) + " is larger than 4 MB."};
        default:
            return {{},
                    std::string("The project has no ") + kServiceDescriptionFile +
                        ": generate it again with this version of svcgen."};
    }
}

std::vector<KxFormRow> formRows(const KxSoapOperation& operation, const KxFormValues& values) {
    std::vector<KxFormRow> rows;
    RowWriter(values, rows).items(operation.input, "", 0);
    return rows;
}

bool applyFormAction(const KxSoapOperation& operation, KxFormValues& values,
                     const std::string& action) {
    const bool add = action.starts_with("add:");
    if (!add && !action.starts_with("remove:")) {
        return false;
    }
    std::string path = action.substr(add ? 4 : 7);
    if (!add) {
        // The button names the occurrence it removes: the last one.
        path = path.substr(0, path.rfind('#'));
    }
    // The item the path names, found by walking the indexes.
    const std::vector<KxSoapItem>* list = &operation.input;
    const KxSoapItem* item = nullptr;
    std::size_t from = 0;
    while (from <= path.size()) {
        const auto dot = path.find('.', from);
        const std::string segment = path.substr(from, dot == std::string::npos ? dot : dot - from);
        const std::size_t index = occursOf(segment.substr(0, segment.find('#')), list->size());
        if (index >= list->size()) {
            return false;
        }
        item = &(*list)[index];
        list = &item->children;
        if (dot == std::string::npos) {
            break;
        }
        from = dot + 1;
    }
    if (item == nullptr || !item->repeated()) {
        return false;
    }
    const std::size_t count = occurrences(*item, values, path);
    if (add && count < std::min(item->max, kMaxOccurrences)) {
        values["n:" + path] = std::to_string(count + 1);
    } else if (!add && count > item->min) {
        values["n:" + path] = std::to_string(count - 1);
    }
    return true;
}

KxSoapRequest buildSoapRequest(const KxSoapPort& port, const KxSoapOperation& operation,
                               const KxFormValues& values) {
    KxSoapRequest request;
    EnvelopeWriter writer(operation, values, request);
    const bool rpc = operation.style == "rpc" && !operation.wrapper.empty();
    const int indent = rpc ? 3 : 2;
    writer.items(operation.input, "", indent);
    std::string body = writer.text;
    if (rpc) {
        const std::string wrapper = writer.qualified(operation.wrapperNs, operation.wrapper);
        body = body.empty() ? "    <" + wrapper + "/>\n"
                            : "    <" + wrapper + ">\n" + body + "    </" + wrapper + ">\n";
    }
    std::string envelope =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<soap:Envelope xmlns:soap=\"";
    envelope += port.soapVersion == "1.2" ? kSoap12Envelope : kSoap11Envelope;
    envelope += "\"";
    for (const auto& [prefix, ns] : writer.declarations()) {
        KxCString uri;
        kx::appendEscapedMarkup(uri, ns, false);
        envelope += "\n    xmlns:" + prefix + "=\"" + uri + "\"";
    }
    if (writer.usesXsi_) {
        envelope += "\n    xmlns:xsi=\"" + std::string(kXsiNamespace) + "\"";
    }
    envelope += ">\n  <soap:Body>\n" + body + "  </soap:Body>\n</soap:Envelope>\n";
    request.envelope = std::move(envelope);
    if (port.soapVersion == "1.2") {
        std::string type = "application/soap+xml; charset=utf-8";
        if (!operation.action.empty()) {
            type += "; action=\"" + operation.action + "\"";
        }
        request.headers.emplace_back("Content-Type", type);
    } else {
        request.headers.emplace_back("Content-Type", "text/xml; charset=utf-8");
        request.headers.emplace_back("SOAPAction", "\"" + operation.action + "\"");
    }
    return request;
}

KxSoapAnswer readSoapAnswer(const std::string& body) {
    KxSoapAnswer answer;
    const kx::XmlDocument document = kx::parseXmlDocument(body, kx::XmlEntityRefusal::All);
    if (document.fault || !document.root) {
        answer.parseError = document.fault ? "line " + std::to_string(document.fault->at.line) +
                                                 ": " + document.fault->message
                                           : "The answer is empty.";
        return answer;
    }
    const kx::XmlElement& envelope = *document.root;
    const kx::XmlElement* soapBody = envelope.child("Body");
    if (envelope.name != "Envelope" || soapBody == nullptr) {
        answer.parseError = "The answer is not a SOAP envelope.";
        return answer;
    }
    answer.wellFormed = true;
    const kx::XmlElement* fault = soapBody->child("Fault");
    if (fault != nullptr) {
        answer.isFault = true;
        if (const kx::XmlElement* code = fault->child("faultcode")) {
            answer.faultCode = trimmed(code->text);
        } else if (const kx::XmlElement* code12 = fault->child("Code")) {
            const kx::XmlElement* value = code12->child("Value");
            answer.faultCode = value != nullptr ? trimmed(value->text) : "";
            if (const kx::XmlElement* subcode = code12->child("Subcode")) {
                if (const kx::XmlElement* subvalue = subcode->child("Value")) {
                    answer.faultCode += " / " + trimmed(subvalue->text);
                }
            }
        }
        if (const kx::XmlElement* reason = fault->child("faultstring")) {
            answer.faultString = trimmed(reason->text);
        } else if (const kx::XmlElement* reason12 = fault->child("Reason")) {
            const kx::XmlElement* text = reason12->child("Text");
            answer.faultString = text != nullptr ? trimmed(text->text) : "";
        }
        const kx::XmlElement* detail = fault->child("detail");
        if (detail == nullptr) {
            detail = fault->child("Detail");
        }
        if (detail != nullptr) {
            std::vector<std::pair<std::string, std::string>> detailValues;
            for (const kx::XmlElement& child : detail->children) {
                collectValues(child, child.name, detailValues);
            }
            for (const auto& [path, value] : detailValues) {
                answer.faultDetail += path + " = " + value + "\n";
            }
            if (detail->children.empty()) {
                answer.faultDetail = trimmed(detail->text);
            }
        }
        return answer;
    }
    for (const kx::XmlElement& child : soapBody->children) {
        collectValues(child, child.name, answer.values);
    }
    return answer;
}
