#include "cli/catalogue.h"

#include "platform/file_names.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr std::uint32_t kMagic = 0x950412de;
constexpr std::uint32_t kSwappedMagic = 0xde120495;
constexpr std::size_t kHeaderBytes = 28;  // magic, revision, count, two table offsets, hash size, hash offset

std::uint32_t Swap(std::uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xff00) | ((v << 8) & 0xff0000) | (v << 24);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool MessageCatalogue::Load(std::string data)
{
    *this = MessageCatalogue();
    // Parsed in place: the views below point into bytes_.
    bytes_ = std::move(data);
    const std::string& bytes = bytes_;
    if (bytes.size() < kHeaderBytes)
        return false;
    auto word = [&](std::size_t at, bool swapped) {
        std::uint32_t v = 0;
        std::memcpy(&v, bytes.data() + at, 4);
        return swapped ? Swap(v) : v;
    };
    const std::uint32_t magic = word(0, false);
    if (magic != kMagic && magic != kSwappedMagic)
        return false;
    const bool swapped = magic == kSwappedMagic;
    const std::uint64_t count = word(8, swapped);
    const std::uint64_t originalTable = word(12, swapped);
    const std::uint64_t translationTable = word(16, swapped);
    if (originalTable + count * 8 > bytes.size() || translationTable + count * 8 > bytes.size())
        return false;
    // Each string must lie inside the file and end with a NUL there.
    auto text = [&](std::uint64_t table, std::uint64_t i, std::string_view* out) {
        const std::uint64_t length = word(static_cast<std::size_t>(table + i * 8), swapped);
        const std::uint64_t offset = word(static_cast<std::size_t>(table + i * 8 + 4), swapped);
        if (offset + length >= bytes.size() || bytes[static_cast<std::size_t>(offset + length)] != '\0')
            return false;
        *out = std::string_view(bytes.data() + offset, static_cast<std::size_t>(length));
        return true;
    };
    std::vector<std::string_view> originals(count);
    std::vector<std::string_view> translations(count);
    for (std::uint64_t i = 0; i < count; ++i)
        if (!text(originalTable, i, &originals[i]) || !text(translationTable, i, &translations[i]))
            return false;
    for (std::uint64_t i = 1; i < count; ++i)
        if (std::strcmp(originals[i - 1].data(), originals[i].data()) >= 0)
            return false;  // lookups need the sorted order
    originals_ = std::move(originals);
    translations_ = std::move(translations);
    const long header = Find("");
    onePluralForm_ = header >= 0 && translations_[header].find("nplurals=1;") != std::string_view::npos;
    return true;
}

bool MessageCatalogue::LoadFile(const std::string& path)
{
    const std::unique_ptr<std::FILE, FileCloser> file(OpenFileUtf8(path.c_str(), "rb"));
    if (!file)
        return false;
    std::string bytes;
    char buffer[16384];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.append(buffer, got);
    return !std::ferror(file.get()) && Load(std::move(bytes));
}

long MessageCatalogue::Find(const char* key) const
{
    std::size_t low = 0;
    std::size_t high = originals_.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        const int order = std::strcmp(originals_[middle].data(), key);
        if (order == 0)
            return static_cast<long>(middle);
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return -1;
}

const char* MessageCatalogue::Translate(const char* text) const
{
    const long i = *text ? Find(text) : -1;
    return i >= 0 && !translations_[i].empty() ? translations_[i].data() : text;
}

const char* MessageCatalogue::TranslatePlural(const char* singular, const char* plural, unsigned long n) const
{
    const std::size_t form = onePluralForm_ || n == 1 ? 0 : 1;
    const long i = Find(singular);
    if (i < 0 || translations_[i].empty())
        return n == 1 ? singular : plural;
    // The forms follow each other, NUL between; a missing one falls back to English.
    std::string_view forms = translations_[i];
    for (std::size_t k = 0; k < form; ++k) {
        const std::size_t end = forms.find('\0');
        if (end == std::string_view::npos)
            return n == 1 ? singular : plural;
        forms.remove_prefix(end + 1);
    }
    return forms.data();
}
