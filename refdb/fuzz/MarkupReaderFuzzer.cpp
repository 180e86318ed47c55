// Loads arbitrary bytes as markup and walks every element with each cursor
// operation. Element and attribute names for the searches come from the
// input too, so that named searches can match. The same bytes go through the
// ActiveX block list reader, the reader's other user.
#include "activex/BlockList.h"
#include "refdb/MarkupReader.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

struct Names {
    std::string element;
    std::string attribute;
};

void Touch(const refdb::MarkupReader& reader, const Names& names) {
    // The results are discarded; sanitizers check the reads behind them.
    (void)reader.GetAttribute(names.attribute);
    (void)reader.GetChildAttribute(names.attribute);
    (void)reader.GetData();
}

// Depth first with FindElement / IntoElement / OutOfElement.
void WalkSiblings(refdb::MarkupReader& reader, const Names& names) {
    if (!reader.FindElement())
        return;
    int depth = 0;
    for (;;) {
        Touch(reader, names);
        reader.IntoElement();
        ++depth;
        while (!reader.FindElement()) {
            if (depth == 1)
                return;
            reader.OutOfElement();
            --depth;
            // A named search along the level the walk is about to continue on.
            if (!names.element.empty() && reader.FindElement(names.element)) {
                Touch(reader, names);
                reader.IntoElement();
                ++depth;
            }
        }
    }
}

// Depth first with FindChildElement: into each child found, out when none is left.
void WalkChildren(refdb::MarkupReader& reader, const Names& names, bool named) {
    int depth = 0;
    for (;;) {
        const bool found =
            named ? reader.FindChildElement(names.element) : reader.FindChildElement();
        if (found) {
            Touch(reader, names);
            reader.IntoElement();
            ++depth;
            continue;
        }
        Touch(reader, names);
        if (depth == 0)
            return;
        reader.OutOfElement();
        --depth;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    Names names;
    names.element = input.ConsumeRandomLengthString(16);
    names.attribute = input.ConsumeRandomLengthString(16);
    std::string text = input.ConsumeRemainingBytesAsString();

    const activex::BlockList blockList = activex::ParseBlockList(text);
    // A list either has programs or says why it has none.
    if (!blockList.items.empty() && !blockList.problem.empty())
        __builtin_trap();

    refdb::MarkupReader reader;
    if (!reader.LoadText(text)) {
        if (blockList.problem.empty())
            __builtin_trap();
        if (reader.LastError().empty())
            __builtin_trap();
        // Nothing may be reachable after a failed load.
        if (reader.FindElement() || reader.FindChildElement())
            __builtin_trap();
        return 0;
    }
    if (!reader.LastError().empty())
        __builtin_trap();
    WalkSiblings(reader, names);

    reader.LoadText(text);
    WalkChildren(reader, names, false);
    reader.LoadText(std::move(text));
    WalkChildren(reader, names, true);
    return 0;
}
