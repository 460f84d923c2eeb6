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
// the repeating rows first, as the linear scan meets them, then the single
// tags that follow, whose keys are all different. Those are found through a
// hash of their keys, built on first use: nearly every element of an
// implicit-VR file is no sequence, and a binary search over the whole table
// to learn that costs a dozen probes. The result is the row the linear scan
// would return.
constexpr int kSingleTagSlotBits = 11;  // 2048 slots for about 1200 keys
constexpr uint32_t kNoKey = 0xFFFFFFFFu;  // (FFFF,FFFF) is the terminator's, never a single tag

uint32_t TagKey(const VrRangeRule& rule) {
    return ((uint32_t)rule.group_low << 16) | rule.element_low;
}

uint32_t SlotOf(uint32_t key) {
    return (key * 0x9E3779B1u) >> (32 - kSingleTagSlotBits);
}

struct SingleTagIndex {
    uint32_t keys[1u << kSingleTagSlotBits];
    uint16_t rows[1u << kSingleTagSlotBits];
    bool usable = false;  // false: the table outgrew the slots; search it instead

    SingleTagIndex() {
        std::memset(keys, 0xFF, sizeof keys);
        const int singles = kVrRangeTableRows - 1 - kVrRangeRepeatingRows;
        if (singles < 0 || singles > (int)(3u << kSingleTagSlotBits) / 4) return;
        for (int i = kVrRangeRepeatingRows; i < kVrRangeTableRows - 1; ++i) {
            const uint32_t key = TagKey(VrRangeTable[i]);
            if (key == kNoKey) return;
            uint32_t slot = SlotOf(key);
            while (keys[slot] != kNoKey && keys[slot] != key) {
                slot = (slot + 1) & ((1u << kSingleTagSlotBits) - 1);
            }
            if (keys[slot] == key) return;  // a repeated key: the search decides
            keys[slot] = key;
            rows[slot] = (uint16_t)i;
        }
        usable = true;
    }
};

const VrRangeRule* SearchSingleTags(uint32_t key) {
    int low = kVrRangeRepeatingRows;
    int high = kVrRangeTableRows - 1;  // the terminator
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const VrRangeRule& rule = VrRangeTable[middle];
        const uint32_t ruleKey = TagKey(rule);
        if (ruleKey == key) return &rule;
        if (ruleKey < key) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return &VrRangeTable[kVrRangeTableRows - 1];
}

const VrRangeRule* FindInBuiltInTable(uint16_t group, uint16_t element) {
    for (int i = 0; i < kVrRangeRepeatingRows; ++i) {
        if (RuleMatches(VrRangeTable[i], group, element)) return &VrRangeTable[i];
    }
    const uint32_t key = ((uint32_t)group << 16) | element;
    static const SingleTagIndex index;
    if (!index.usable || key == kNoKey) return SearchSingleTags(key);
    for (uint32_t slot = SlotOf(key);; slot = (slot + 1) & ((1u << kSingleTagSlotBits) - 1)) {
        if (index.keys[slot] == key) return &VrRangeTable[index.rows[slot]];
        if (index.keys[slot] == kNoKey) return &VrRangeTable[kVrRangeTableRows - 1];
    }
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
