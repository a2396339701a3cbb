#pragma once

// Field contents for generated catalogues that look like a real collection of downloaded
// component packages: category and product names, descriptions, authors, addresses,
// versions and dates. The same seed always gives the same contents, on any platform:
// the random source and every draw from it are our own, not the standard library's
// distributions.

#include <QDate>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace velm::bench {

// splitmix64: tiny, fast and fully specified.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 <= result < n; the modulo bias is far below anything a benchmark notices.
    int Below(int n) { return n <= 1 ? 0 : static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
    int Between(int low, int high) { return low + Below(high - low + 1); }
    bool Chance(int percent) { return Below(100) < percent; }
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    template <typename T, std::size_t N>
    const T& Pick(const std::array<T, N>& items) {
        return items[static_cast<std::size_t>(Below(static_cast<int>(N)))];
    }

private:
    std::uint64_t state_;
};

struct Person {
    std::string_view name;   // as shown
    std::string_view ascii;  // for mail addresses
};

struct PackageContent {
    std::string productName;
    std::string description;  // CR LF line breaks
    int freeShareCommercial = 0;
    int versionMajor = 1, versionMinor = 0, release = 0, build = 0;
    bool beta = false;
    std::string releaseDate;   // ISO, never empty
    int compatibility = 0;
    std::string author;
    std::string downloadDate;  // ISO, empty for none
    std::string comments;      // empty for none
    std::optional<int> rating;
    std::string fileUrl;
    std::string authorEmail;
    bool fullSource = false;
    std::string archiveFile;
    std::string archiveFilePath;
};

namespace content {

inline constexpr std::array<std::string_view, 64> kKinds = {
    "Buttons", "Edits", "Grids", "Labels", "Panels", "Tree Views", "List Boxes", "Combo Boxes",
    "Menus", "Toolbars", "Status Bars", "Tab Controls", "Dialogs", "Charts", "Gauges", "Calendars",
    "Date Pickers", "Spin Edits", "Memos", "Rich Edits", "Splitters", "Images", "Icons", "Animation",
    "Multimedia", "Sound", "Video", "Database Tools", "Data Aware", "Reports", "Printing", "Internet",
    "Mail", "FTP", "HTTP", "Sockets", "Serial Ports", "Compression", "Encryption", "Registry",
    "INI Files", "System Info", "Tray Icons", "Hooks", "Timers", "Threads", "Shell", "File Tools",
    "Drag and Drop", "Clipboard", "Help Systems", "Experts", "Property Editors", "Wizards", "Games", "Math",
    "Strings", "Parsers", "Spell Checkers", "Barcodes", "Scanning", "Skins", "Fonts", "Shapes"};

inline constexpr std::array<std::string_view, 32> kQualifiers = {
    "Advanced", "Data-aware", "Freeware", "Shareware", "Visual", "Non-visual", "Win32", "Win16",
    "Office-style", "3D", "Flat", "Enhanced", "Extended", "Custom", "Owner-drawn", "Transparent",
    "Multi-column", "DB", "Lite", "Pro", "Fast", "Small", "Simple", "Classic",
    "Modern", "Explorer", "Threaded", "Unicode", "Misc", "Other", "Legacy", "Test"};

inline constexpr std::array<std::string_view, 48> kVendors = {
    "Rx", "Jv", "TMS", "Orpheus", "Abbrevia", "Async", "Ace", "Quick", "Smart", "Power", "Super", "Ultra",
    "Mega", "Hyper", "Easy", "Fast", "Magic", "Cool", "Nice", "Top", "Info", "Data", "Net", "Win",
    "Sys", "Visual", "Flex", "Proto", "Delta", "Omega", "Star", "Sky", "Blue", "Red", "Green", "Gold",
    "Silver", "Crystal", "Zen", "Nova", "LMD", "EC", "DX", "QR", "AB", "MX", "Ex", "Pro"};

inline constexpr std::array<std::string_view, 88> kStems = {
    "Grid", "Edit", "Button", "Label", "Panel", "Tree", "List", "Combo", "Menu", "Toolbar", "Tab",
    "Dialog", "Chart", "Gauge", "Calendar", "Clock", "Timer", "Socket", "Mail", "FTP", "Zip", "Crypt",
    "Reg", "Ini", "Tray", "Hook", "Thread", "Shell", "File", "Drag", "Clip", "Help", "Expert",
    "Wizard", "Spell", "Barcode", "Scan", "Skin", "Font", "Color", "Shape", "Layout", "Splitter",
    "Image", "Bitmap", "Icon", "Player", "Sound", "Video", "Report", "Print", "Query", "Table",
    "Lookup", "Memo", "Spin", "Date", "Mask", "Header", "Status", "Progress", "Track", "Scroll",
    "Notebook", "Outline", "Dock", "Hint", "Balloon", "Splash", "Login", "Password", "Calc", "Parser",
    "Script", "Math", "Matrix", "Graph", "Plot", "Map", "Gradient", "Bevel", "Led", "Meter", "Navigator",
    "Inspector", "Explorer", "Browser", "Viewer"};

inline constexpr std::array<std::string_view, 24> kTails = {
    "", "", "", "", "", "Box", "Bar", "View", "Pack", "Kit", "Set", "Suite",
    "Tools", "Lib", "Ctrl", "Control", "Component", "Manager", "Engine", "Studio", "Link", "Source", "Edit", "Panel"};

inline constexpr std::array<std::string_view, 24> kEditions = {
    "", "", "", "", "", "", "", "", " Pro", " Lite", " Plus", " XP",
    " 2000", " 98", " Deluxe", " Standard", " Professional", " for Delphi", " VCL", " Light", " Gold", " II", " 3",
    " 2.0"};

inline constexpr std::array<Person, 40> kFirstNames = {{
    {"John", "john"},       {"Peter", "peter"},     {"Michael", "michael"}, {"Thomas", "thomas"},
    {"Robert", "robert"},   {"David", "david"},     {"Mark", "mark"},       {"Steve", "steve"},
    {"Paul", "paul"},       {"Andrew", "andrew"},   {"Chris", "chris"},     {"Martin", "martin"},
    {"Hans", "hans"},       {"Jürgen", "juergen"}, {"Klaus", "klaus"}, {"Stefan", "stefan"},
    {"François", "francois"}, {"Pierre", "pierre"}, {"Luc", "luc"}, {"Marco", "marco"},
    {"Giovanni", "giovanni"}, {"Jan", "jan"},       {"Erik", "erik"},       {"Søren", "soren"},
    {"Lars", "lars"},       {"Mikko", "mikko"},     {"Pavel", "pavel"},     {"Igor", "igor"},
    {"Dmitry", "dmitry"},   {"José", "jose"}, {"Carlos", "carlos"},   {"Ana", "ana"},
    {"Maria", "maria"},     {"Susan", "susan"},     {"Karen", "karen"},     {"Linda", "linda"},
    {"Anne", "anne"},       {"Kenji", "kenji"},     {"Wei", "wei"},         {"Raj", "raj"},
}};

inline constexpr std::array<Person, 48> kLastNames = {{
    {"Smith", "smith"},       {"Johnson", "johnson"},   {"Brown", "brown"},       {"Taylor", "taylor"},
    {"Miller", "miller"},     {"Wilson", "wilson"},     {"Moore", "moore"},       {"Anderson", "anderson"},
    {"Clark", "clark"},       {"Lewis", "lewis"},       {"Walker", "walker"},     {"Hall", "hall"},
    {"Young", "young"},       {"King", "king"},         {"Wright", "wright"},     {"Green", "green"},
    {"Müller", "mueller"}, {"Schmidt", "schmidt"}, {"Schneider", "schneider"}, {"Fischer", "fischer"},
    {"Weber", "weber"},       {"Becker", "becker"},     {"Dubois", "dubois"},     {"Lefebvre", "lefebvre"},
    {"Rossi", "rossi"},       {"Bianchi", "bianchi"},   {"de Vries", "devries"},  {"Jansen", "jansen"},
    {"Hansen", "hansen"},     {"Nielsen", "nielsen"},   {"Larsson", "larsson"},   {"Virtanen", "virtanen"},
    {"Novák", "novak"}, {"Kowalski", "kowalski"}, {"Ivanov", "ivanov"},     {"Petrov", "petrov"},
    {"García", "garcia"}, {"Martínez", "martinez"}, {"Silva", "silva"}, {"Santos", "santos"},
    {"Tanaka", "tanaka"},     {"Suzuki", "suzuki"},     {"Chen", "chen"},         {"Wang", "wang"},
    {"Patel", "patel"},       {"O'Brien", "obrien"},    {"MacLeod", "macleod"},   {"Kelly", "kelly"},
}};

inline constexpr std::array<std::string_view, 12> kMailHosts = {
    "compuserve.com", "aol.com", "hotmail.com", "netcom.com", "xs4all.nl", "t-online.de",
    "demon.co.uk", "iname.com", "geocities.com", "earthlink.net", "wanadoo.fr", "mbox.vol.cz"};

inline constexpr std::array<std::string_view, 10> kSites = {
    "www.{v}soft.com/delphi/", "members.aol.com/{v}/", "www.geocities.com/SiliconValley/{v}/",
    "ftp.{v}.com/pub/delphi/", "www.{v}.de/download/", "www.torry.ru/vcl/{v}/",
    "sunsite.icm.edu.pl/delphi/ftp/d30free/", "www.delphi32.com/vcl/{v}/", "www.{v}.net/files/",
    "home.sprynet.com/~{v}/"};

inline constexpr std::array<std::string_view, 30> kFeatures = {
    "owner drawing", "data awareness", "drag and drop", "gradient fills", "transparent backgrounds",
    "multi-line captions", "in-place editing", "sorting by any column", "incremental search",
    "printing and print preview", "export to HTML, RTF and CSV", "hints for every item",
    "design-time property editors", "flat and 3D styles", "keyboard shortcuts", "word wrapping",
    "unlimited undo", "custom colours for every state", "images from an image list",
    "automatic resizing", "threaded operation", "a progress event", "cancellation at any time",
    "long file names", "the clipboard", "bookmarks", "lookup fields", "calculated columns",
    "Windows 95 look and feel", "right-to-left text"};

inline constexpr std::array<std::string_view, 16> kAdjectives = {
    "small", "fast", "flexible", "powerful", "simple", "complete", "lightweight", "native",
    "fully featured", "easy to use", "free", "compact", "robust", "visual", "non-visual", "data-aware"};

inline constexpr std::array<std::string_view, 20> kSentences = {
    "Full source code is included, so you can adapt it to your own needs.",
    "The source code is available to registered users only.",
    "Install the package with Component | Install Packages and open the demo project to see it at work.",
    "No DLLs or OCXs are needed: everything compiles into your executable.",
    "The help file describes every property, method and event, and it installs into the IDE's help system.",
    "Registered users receive free updates for one year and priority support by e-mail.",
    "The unregistered version shows a reminder when run outside the IDE; otherwise it is not limited.",
    "Bug reports, suggestions and praise are always welcome at the address below.",
    "It was tested under Windows 95, Windows 98 and Windows NT 4.0.",
    "This release fixes the painting problems that some users reported with large fonts.",
    "Earlier versions of the component are no longer supported.",
    "A small demo application shows the most important features.",
    "The archive also contains a readme file with the history of changes.",
    "You may use it in commercial programs without paying any royalties.",
    "Please do not distribute modified versions of the source code.",
    "Thanks to everybody who sent in bug reports for the previous version.",
    "Version 1 users can upgrade for free; simply replace the old unit.",
    "The component works with both the BDE and third-party database engines.",
    "All strings are kept in one unit, which makes translation easy.",
    "Known problem: the designer may flicker when the component is resized at design time."};

inline constexpr std::array<std::string_view, 12> kComments = {
    "Works fine with Delphi 4.", "Needs a patch for C++Builder 3, see the author's site.",
    "Used it in the billing project; no problems so far.", "Demo crashes on NT, component itself is fine.",
    "Better than the one in the standard palette.", "Check for a newer version.",
    "Source is hard to read, but it works.", "Registration key is in the mail folder.",
    "Conflicts with another package that uses the same unit name.", "Recommended by a colleague.",
    "Only the 16-bit version is complete.", "Try the property editor, it saves a lot of time."};

}  // namespace content

// Makes the contents of one catalogue, in the order they are asked for.
class ContentMaker {
public:
    static constexpr int kCategoryNameSize = 25;
    static constexpr int kProductNameSize = 40;

    explicit ContentMaker(std::uint64_t seed) : rng_(seed) {}

    Rng& Random() { return rng_; }

    // Names of component kinds, some with a qualifier; unique without regard to letter
    // case, numbered once the combinations run out.
    std::vector<std::string> CategoryNames(int count) {
        std::vector<std::string> pool;
        for (std::string_view kind : content::kKinds)
            pool.emplace_back(kind);
        for (std::string_view qualifier : content::kQualifiers)
            for (std::string_view kind : content::kKinds) {
                std::string name = std::string(qualifier) + ' ' + std::string(kind);
                if (name.size() <= kCategoryNameSize)
                    pool.push_back(std::move(name));
            }
        for (std::size_t i = pool.size(); i > 1; --i)
            std::swap(pool[i - 1], pool[static_cast<std::size_t>(rng_.Below(static_cast<int>(i)))]);
        std::vector<std::string> names;
        std::unordered_set<std::string> taken;
        for (int i = 0; i < count; ++i) {
            const std::string& base = pool[static_cast<std::size_t>(i) % pool.size()];
            std::string name = base;
            for (int n = 2; !taken.insert(Upper(name)).second; ++n) {
                const std::string number = ' ' + std::to_string(n);
                name = base.substr(0, kCategoryNameSize - number.size()) + number;
            }
            names.push_back(std::move(name));
        }
        return names;
    }

    PackageContent Package(std::string_view categoryName) {
        using namespace content;
        PackageContent p;
        const std::string_view vendor = rng_.Pick(kVendors);
        p.productName = UniqueProductName(vendor);

        const Person& first = rng_.Pick(kFirstNames);
        const Person& last = rng_.Pick(kLastNames);
        p.author = std::string(first.name) + ' ' + std::string(last.name);
        std::string site = Lower(std::string(vendor)) + std::string(last.ascii);
        switch (rng_.Below(3)) {
        case 0: p.authorEmail = std::string(first.ascii) + '.' + std::string(last.ascii) + '@' + std::string(rng_.Pick(kMailHosts)); break;
        case 1: p.authorEmail = std::string(first.ascii.substr(0, 1)) + std::string(last.ascii) + '@' + site + ".com"; break;
        default: p.authorEmail = std::to_string(rng_.Between(70000, 79999)) + '.' + std::to_string(rng_.Between(100, 3999)) + "@compuserve.com"; break;
        }

        p.archiveFile = ArchiveName(p.productName);
        std::string url(rng_.Pick(kSites));
        if (const std::size_t at = url.find("{v}"); at != std::string::npos)
            url.replace(at, 3, site);
        p.fileUrl = "http://" + url + p.archiveFile;
        if (p.fileUrl.size() > 100)
            p.fileUrl.resize(100);
        p.archiveFilePath = "C:\\Delphi\\Components\\" + FolderName(categoryName) + "\\";

        p.freeShareCommercial = rng_.Below(100) < 50 ? 0 : (rng_.Below(100) < 70 ? 1 : 2);
        p.versionMajor = rng_.Between(1, 6);
        p.versionMinor = rng_.Chance(40) ? rng_.Between(0, 9) : rng_.Between(0, 99);
        p.release = rng_.Chance(60) ? 0 : rng_.Between(1, 20);
        p.build = rng_.Chance(50) ? 0 : rng_.Between(1, 1500);
        p.beta = rng_.Chance(10);
        p.fullSource = rng_.Chance(55);
        // Mostly a run of neighbouring IDE versions, now and then anything.
        if (rng_.Chance(80)) {
            const int from = rng_.Below(6);
            const int to = rng_.Between(from, 5);
            for (int bit = from; bit <= to; ++bit)
                p.compatibility |= 1 << bit;
        } else {
            p.compatibility = rng_.Below(64);
        }
        if (!rng_.Chance(8))
            p.rating = rng_.Between(0, 10);

        const QDate released = QDate(1995, 2, 14).addDays(rng_.Below(2500));
        p.releaseDate = released.toString(Qt::ISODate).toStdString();
        if (!rng_.Chance(5))
            p.downloadDate = released.addDays(rng_.Below(400)).toString(Qt::ISODate).toStdString();
        if (rng_.Chance(25))
            p.comments = std::string(rng_.Pick(kComments));
        p.description = Description(p, categoryName);
        return p;
    }

private:
    static std::string Upper(std::string text) {
        for (char& c : text)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        return text;
    }
    static std::string Lower(std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return text;
    }

    std::string UniqueProductName(std::string_view vendor) {
        using namespace content;
        std::string base;
        if (rng_.Chance(20))
            base = 'T';  // a single component, named after its class
        base += vendor;
        if (base.size() > 1 && rng_.Chance(30))
            base += ' ';
        base += rng_.Pick(kStems);
        base += rng_.Pick(kTails);
        base += rng_.Pick(kEditions);
        if (base.size() > kProductNameSize)
            base.resize(kProductNameSize);
        std::string name = base;
        for (int n = 2; !takenNames_.insert(Upper(name)).second; ++n) {
            const std::string number = ' ' + std::to_string(n);
            name = base.substr(0, kProductNameSize - number.size()) + number;
        }
        return name;
    }

    // Old-style short archive names: letters and digits of the product, cut to eight.
    std::string ArchiveName(const std::string& product) {
        std::string stem;
        for (char c : product)
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
                stem += c;
        stem = Lower(stem.substr(0, 6)) + std::to_string(rng_.Between(10, 99));
        return stem + ".zip";
    }

    static std::string FolderName(std::string_view category) {
        std::string folder;
        for (char c : category)
            folder += (c == ' ' || c == '-') ? '_' : c;
        return folder;
    }

    // The IDE versions of a compatibility mask, as an author would list them.
    static std::string CompatibilityText(int mask) {
        static constexpr std::array<std::string_view, 6> kIdes = {"Delphi 1", "Delphi 2", "Delphi 3",
                                                                  "Delphi 4", "C++Builder 1", "C++Builder 3"};
        std::vector<std::string_view> named;
        for (int bit = 0; bit < 6; ++bit)
            if (mask & (1 << bit))
                named.push_back(kIdes[static_cast<std::size_t>(bit)]);
        if (named.empty())
            return "Delphi";
        std::string text;
        for (std::size_t i = 0; i < named.size(); ++i) {
            if (i > 0)
                text += i + 1 == named.size() ? " and " : ", ";
            text += named[i];
        }
        return text;
    }

    std::vector<std::string_view> DistinctFeatures(int count) {
        std::vector<std::string_view> chosen;
        while (static_cast<int>(chosen.size()) < count) {
            const std::string_view feature = rng_.Pick(content::kFeatures);
            if (std::find(chosen.begin(), chosen.end(), feature) == chosen.end())
                chosen.push_back(feature);
        }
        return chosen;
    }

    std::string Features(int count) {
        const std::vector<std::string_view> chosen = DistinctFeatures(count);
        std::string text;
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            if (i > 0)
                text += i + 1 == chosen.size() ? " and " : ", ";
            text += chosen[i];
        }
        return text;
    }

    // One sentence after the opening one; the stock sentences are used once each.
    std::string Sentence(const PackageContent& p, std::string_view category, std::uint32_t& usedStock,
                         bool& versionTold) {
        using namespace content;
        const int kind = rng_.Below(8);
        if (kind == 0 && !versionTold) {
            versionTold = true;
            return "Version " + std::to_string(p.versionMajor) + '.' + std::to_string(p.versionMinor) + " adds " +
                   Features(1) + " and fixes " + std::to_string(rng_.Between(2, 40)) + " bugs reported by users.";
        }
        if (kind >= 4) {
            const int stock = rng_.Below(static_cast<int>(kSentences.size()));
            if (!(usedStock & (1u << stock))) {
                usedStock |= 1u << stock;
                return std::string(kSentences[static_cast<std::size_t>(stock)]);
            }
        }
        if (kind == 1)
            return "Unlike most " + Lower(std::string(category)) + " it offers " + Features(1) + " out of the box.";
        if (kind == 2)
            return "The " + std::string(rng_.Pick(kAdjectives)) + " design leaves room for " + Features(2) + '.';
        return "It supports " + Features(rng_.Between(2, 4)) + '.';
    }

    // Plain text wrapped at 72 columns with CR LF, one or several paragraphs, now and
    // then a feature list; from a few hundred bytes to a few KB.
    std::string Description(const PackageContent& p, std::string_view category) {
        const std::size_t target = static_cast<std::size_t>(300.0 * std::pow(15.0, rng_.Unit()));  // 300..4500
        std::uint32_t usedStock = 0;
        bool versionTold = false;
        std::string text;
        while (text.size() < target) {
            if (!text.empty())
                text += "\r\n\r\n";
            if (!text.empty() && rng_.Chance(20)) {
                text += "Features:";
                for (std::string_view feature : DistinctFeatures(rng_.Between(3, 8)))
                    text += "\r\n- " + std::string(feature);
                continue;
            }
            std::string paragraph;
            if (text.empty())
                paragraph = p.productName + " is a " + std::string(rng_.Pick(content::kAdjectives)) +
                            " component for " + CompatibilityText(p.compatibility) + '.';
            for (int i = rng_.Between(2, 6); i > 0; --i) {
                if (!paragraph.empty())
                    paragraph += ' ';
                paragraph += Sentence(p, category, usedStock, versionTold);
            }
            text += Wrap(paragraph, 72);
        }
        return text;
    }

    static std::string Wrap(const std::string& paragraph, std::size_t width) {
        std::string out;
        std::size_t column = 0;
        std::size_t start = 0;
        while (start < paragraph.size()) {
            std::size_t end = paragraph.find(' ', start);
            if (end == std::string::npos)
                end = paragraph.size();
            const std::size_t length = end - start;
            if (column > 0 && column + 1 + length > width) {
                out += "\r\n";
                column = 0;
            } else if (column > 0) {
                out += ' ';
                ++column;
            }
            out.append(paragraph, start, length);
            column += length;
            start = end + 1;
        }
        return out;
    }

    Rng rng_;
    std::unordered_set<std::string> takenNames_;  // upper case
};

}  // namespace velm::bench
