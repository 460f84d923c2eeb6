// Lookups over the constant tables of dicom_dictionary_data.cpp.
#include "dicom/dicom_dictionary.h"

#include <cstring>

#include "dicom/dicom_log.h"

const DicomDictEntry* dicom_find_entry(uint16_t group, uint16_t element) {
    const uint32_t key = ((uint32_t)group << 16) | element;
    int index = kDicomDictionaryRows / 2;
    int step = index;
    while (index < kDicomDictionaryRows) {
        const DicomDictEntry& row = DicomDictionary[index];
        const uint32_t rowKey = ((uint32_t)row.group << 16) | row.element;
        if (key == rowKey) return &row;
        if (step == 1) return nullptr;
        step = (step + (step & 1)) / 2;
        index = key > rowKey ? index + step : index - step;
        if (index < 0) return nullptr;
    }
    return nullptr;
}

namespace {

bool ParityMatches(uint16_t value, uint32_t parity) {
    return parity == kParityAny || (uint32_t)(value & 1) == parity;
}

bool RuleMatches(const VrRangeRule& rule, uint16_t group, uint16_t element) {
    return rule.group_low <= group && group <= rule.group_high &&
           ParityMatches(group, rule.group_parity) && rule.element_low <= element &&
           element <= rule.element_high && ParityMatches(element, rule.element_parity);
}

// The built-in table holds more than a thousand sequence rows and the reader
// asks once per implicit-VR element, so it is searched through its order:
// the repeating rows first, as the linear scan meets them, then a binary
// search over the single tags that follow in ascending order. The result is
// the row the linear scan would return.
const VrRangeRule* FindInBuiltInTable(uint16_t group, uint16_t element) {
    for (int i = 0; i < kVrRangeRepeatingRows; ++i) {
        if (RuleMatches(VrRangeTable[i], group, element)) return &VrRangeTable[i];
    }
    const uint32_t key = ((uint32_t)group << 16) | element;
    int low = kVrRangeRepeatingRows;
    int high = kVrRangeTableRows - 1;  // the terminator
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const VrRangeRule& rule = VrRangeTable[middle];
        const uint32_t ruleKey = ((uint32_t)rule.group_low << 16) | rule.element_low;
        if (ruleKey == key) return &rule;
        if (ruleKey < key) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return &VrRangeTable[kVrRangeTableRows - 1];
}

}  // namespace

const VrRangeRule* dicom_private(const VrRangeRule* table, const DicomTag* tag) {
    dicom_log(7, "dicom_private()");
    if (table == nullptr) {
        dicom_log(3, "No dictionary given");
        return nullptr;
    }
    if (tag == nullptr) {
        dicom_log(3, "No element given");
        return nullptr;
    }
    if (table == VrRangeTable) return FindInBuiltInTable(tag->group, tag->element);
    for (const VrRangeRule* rule = table;; ++rule) {
        if (rule->group_low == 0xFFFF) return rule;
        if (RuleMatches(*rule, tag->group, tag->element)) return rule;
    }
}

TransferSyntaxCode dicom_transfer_syntax(const char* uid) {
    if (uid == nullptr) return UnknownSyntax;
    for (int i = kTransferSyntaxRows - 1; i >= 0; --i) {
        if (std::strcmp(TransferSyntaxTable[i].uid, uid) == 0) return TransferSyntaxTable[i].code;
    }
    return UnknownSyntax;
}
