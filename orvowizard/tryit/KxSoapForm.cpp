#include "orvowizard/tryit/KxSoapForm.h"

namespace {

using kx::tryit::childPath;
using kx::tryit::chosen;
using kx::tryit::emptyIsAValue;
using kx::tryit::included;
using kx::tryit::isOn;
using kx::tryit::kMaxFormItems;
using kx::tryit::kMaxOccurrences;
using kx::tryit::occurrencePath;
using kx::tryit::occurrences;
using kx::tryit::simpleValue;

std::string typeHint(const KxSoapItem& item) {
    std::string hint = item.type.empty() ? "string" : item.type;
    if (item.list) {
        hint = "list of " + hint + ", separated by spaces";
    }
    return hint;
}

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
            cutNote(item, depth);
            return;
        }
        --budget_;
        if (item.kind == KxSoapItem::Kind::Choice) {
            choice(item, path, depth, label);
        } else if (!item.isComplex()) {
            field(item, path, depth, label, item.min == 0 && !item.repeated());
        } else {
            group(item, path, depth, label);
        }
    }

    // Once the form holds kMaxFormItems items, one note says it is cut.
    void cutNote(const KxSoapItem& item, std::size_t depth) {
        if (cut_) {
            return;
        }
        KxFormRow note;
        note.kind = KxFormRow::Kind::Note;
        note.depth = depth;
        note.label = item.name;
        note.hint = "the form is cut here: it would show more than " +
                    std::to_string(kMaxFormItems) + " items";
        rows_.push_back(note);
        cut_ = true;
    }

    // A choice: its list of alternatives, then the fields of the one chosen.
    void choice(const KxSoapItem& item, const std::string& path, std::size_t depth,
                const std::string& label) {
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
    }

    // A complex element: its include box when optional, its nil box when
    // nillable, then its items.
    void group(const KxSoapItem& item, const std::string& path, std::size_t depth,
               const std::string& label) {
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

}  // namespace

std::vector<KxFormRow> formRows(const KxSoapOperation& operation, const KxFormValues& values) {
    std::vector<KxFormRow> rows;
    RowWriter(values, rows).items(operation.input, "", 0);
    return rows;
}
