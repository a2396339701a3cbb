// Feeds arbitrary bytes to the settings file parser, then checks that what it read
// survives a save and a second load unchanged.
#include "kit/reg_file_format.h"

#include <cstddef>
#include <cstdint>

namespace {

// Texts that UTF-8 cannot carry (lone surrogates) change on saving by design.
bool SurvivesUtf8(const QString& text) { return QString::fromUtf8(text.toUtf8()) == text; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const velm::RegDocument first =
        velm::RegDocument::Parse(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QByteArray saved = first.Serialize();
    const velm::RegDocument second = velm::RegDocument::Parse(saved);

    for (const velm::RegDocument::Key& key : first.Keys()) {
        if (!SurvivesUtf8(key.path))
            return 0;
        for (const velm::RegDocument::NamedValue& named : key.values) {
            if (!SurvivesUtf8(named.name))
                return 0;
        }
    }
    if (second.Keys().size() != first.Keys().size())
        __builtin_trap();
    for (const velm::RegDocument::Key& key : first.Keys()) {
        if (!second.HasKey(key.path))
            __builtin_trap();
        for (const velm::RegDocument::NamedValue& named : key.values) {
            if (second.Value(key.path, named.name) != named.value)
                __builtin_trap();
        }
    }
    if (second.Serialize() != saved)
        __builtin_trap();
    return 0;
}
