#include "tables/catalogue_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "file_fixtures.h"
#include "tables/item_catalogue.h"

namespace korvane {
namespace {

using testing::TempFolder;
using testing::writeText;

struct Block {
    int32_t recid;
    std::vector<std::pair<int32_t, std::string>> items;
};
using Blocks = std::vector<Block>;

const Blocks kFallback = {{2, {{10, "Rate of Penetration"}}}};

// The whole catalogue the blocks describe, every byte beyond them zero.
ItemCatalogue catalogueOf(const Blocks& blocks) {
    ItemCatalogue c;
    c.nrecords = static_cast<int32_t>(blocks.size());
    for (std::size_t r = 0; r < blocks.size(); ++r) {
        c.recid[r] = blocks[r].recid;
        c.nitems[r] = static_cast<int32_t>(blocks[r].items.size());
        for (std::size_t k = 0; k < blocks[r].items.size(); ++k) {
            c.itemid[r][k] = blocks[r].items[k].first;
            std::strcpy(c.text[r][k], blocks[r].items[k].second.c_str());
        }
    }
    return c;
}

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

std::string itemLines(int count) {
    std::string out;
    for (int k = 0; k < count; ++k) out += std::to_string(k) + ",Item " + std::to_string(k) + "\n";
    return out;
}

Blocks itemsBlock(int32_t recid, int count) {
    Block block{recid, {}};
    for (int k = 0; k < count; ++k) block.items.push_back({k, "Item " + std::to_string(k)});
    return {block};
}

TEST(CatalogueFile, ReadsBlocksAndFallsBackOnErrors) {
    struct Case {
        const char* legend;
        std::optional<std::string> file;  // nullopt: no file at all
        int32_t ierr;
        Blocks expected;
    };
    const std::string name80 = repeat("0123456789", 8);
    Blocks nineBlocks;
    std::string nineBlockFile;
    for (int r = 1; r <= 9; ++r) {
        nineBlockFile += std::to_string(r) + ",1\n1,Item\n";
        if (r <= 8) nineBlocks.push_back({r, {{1, "Item"}}});
    }
    const Case cases[] = {
        {"no file: the fallback", std::nullopt, 1, kFallback},
        {"empty file: empty catalogue, not the fallback", "", 0, {}},
        {"starts with an empty line", "\n2,1\n10,Rate of Penetration\n", 0, {}},
        {"the fallback's own text", "2,1\n10,Rate of Penetration\n", 0, kFallback},
        {"no line feed at the end", "2,1\n10,Depth", 0, {{2, {{10, "Depth"}}}}},
        {"two blocks, one without items",
         "1,0\n8,2\n1,Hole Depth\n2,Bit Depth\n",
         0,
         {{1, {}}, {8, {{1, "Hole Depth"}, {2, "Bit Depth"}}}}},
        {"comment and the blanks before it removed",
         "2,1\n10,Depth \t // feet\n",
         0,
         {{2, {{10, "Depth"}}}}},
        {"comment only: an empty name", "2,1\n10,//\n", 0, {{2, {{10, ""}}}}},
        {"blank after the comma stays in the name", "2,1\n10, Depth\n", 0, {{2, {{10, " Depth"}}}}},
        {"blanks inside kept, blanks at the end dropped without a comment too",
         "2,1\n10,A  B \t\n",
         0,
         {{2, {{10, "A  B"}}}}},
        {"80-character name cut to 63",
         "2,1\n10," + name80 + "\n",
         0,
         {{2, {{10, name80.substr(0, 63)}}}}},
        {"empty lines between blocks and items skipped",
         "2,2\n\n\n10,A\n\n11,B\n\n\n3,0\n\n",
         0,
         {{2, {{10, "A"}, {11, "B"}}}, {3, {}}}},
        {"blanks before the numbers and text after the header",
         "  2,  1 items follow\n 10,A\n",
         0,
         {{2, {{10, "A"}}}}},
        {"signed numbers", "-2,+1\n-10,A\n", 0, {{-2, {{-10, "A"}}}}},
        {"CR LF lines read as LF lines",
         "2,1\r\n\r\n10,Depth\r\n3,0\r\n",
         0,
         {{2, {{10, "Depth"}}}, {3, {}}}},
        {"a lone CR is part of the name", "2,1\n10,A\rB\n", 0, {{2, {{10, "A\rB"}}}}},
        {"a lone CR after the last line is a line of its own", "2,1\n10,A\n\r", 1, kFallback},
        {"three announced, two present", "2,3\n10,A\n11,B\n", 2, kFallback},
        {"an error drops the complete blocks before it", "1,1\n1,A\n2,1\n", 2, kFallback},
        {"line of blanks as a header", "2,1\n10,A\n   \n", 1, kFallback},
        {"line of blanks as an item", "2,1\n   \n", 2, kFallback},
        {"blank between record number and comma", "2 ,1\n10,A\n", 1, kFallback},
        {"header with one number", "2\n10,A\n", 1, kFallback},
        {"header of text", "Drilling,1\n10,A\n", 1, kFallback},
        {"header number too large for 32 bits", "99999999999,1\n10,A\n", 1, kFallback},
        {"negative item count", "2,-1\n", 1, kFallback},
        {"blank between item number and comma", "2,1\n10 ,A\n", 2, kFallback},
        {"item without a name", "2,1\n10,\n", 2, kFallback},
        {"item without a comma", "2,1\n10 A\n", 2, kFallback},
        {"item without a number", "2,1\nA,10\n", 2, kFallback},
        {"more than 8 blocks: the first 8 kept", nineBlockFile, 0, nineBlocks},
        {"more than 40 items: the first 40 kept, the next block read",
         "5,42\n" + itemLines(42) + "6,1\n7,Next\n", 0,
         [] {
             Blocks b = itemsBlock(5, 40);
             b.push_back({6, {{7, "Next"}}});
             return b;
         }()},
        {"an item beyond the 40th must still be well formed", "5,42\n" + itemLines(41) + "x\n", 2,
         kFallback},
        {"a 1000-character line is cut and read",
         "2,1\n10," + repeat("ab", 500) + "\n",
         0,
         {{2, {{10, repeat("ab", 500).substr(0, 63)}}}}},
        {"a long header keeps its numbers",
         "2,1" + repeat(" ", 900) + "x\n10,A\n",
         0,
         {{2, {{10, "A"}}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        TempFolder folder;
        if (c.file) writeText(folder / kCatalogueFileName, *c.file);
        ItemCatalogue catalogue;
        catalogue.recid[7] = 99;  // a load starts from zero
        EXPECT_EQ(loadCatalogue(catalogue, folder.path()), c.ierr);
        const ItemCatalogue expected = catalogueOf(c.expected);
        EXPECT_EQ(catalogue.nrecords, expected.nrecords);
        for (int r = 0; r < kCatalogueRecords; ++r) {
            EXPECT_EQ(catalogue.recid[r], expected.recid[r]) << "record type " << r;
            ASSERT_EQ(catalogue.nitems[r], expected.nitems[r]) << "record type " << r;
            for (int k = 0; k < expected.nitems[r]; ++k) {
                EXPECT_EQ(catalogue.itemid[r][k], expected.itemid[r][k]);
                EXPECT_STREQ(catalogue.text[r][k], expected.text[r][k]);
            }
        }
        EXPECT_EQ(std::memcmp(&catalogue, &expected, sizeof expected), 0) << "stray bytes";
    }
}

// The catalogue shipped in examples/ must load as written, not as the fallback.
TEST(CatalogueFile, ShippedExampleLoads) {
    ItemCatalogue c;
    ASSERT_EQ(loadCatalogue(c, std::filesystem::path(KORVANE_TEST_DATA_DIR) / "../../examples"), 0);
    EXPECT_EQ(c.nrecords, 3);
    EXPECT_EQ(c.nitems[0], 40);
    EXPECT_STREQ(c.text[2][1], "Shaker Screen Load");
}

TEST(CatalogueFile, LoadSurvivesArbitraryText) {
    TempFolder folder;
    std::mt19937 random(140);
    const std::string alphabet = "0123456789,,,\n\n\n  \t-+/ab\r";
    const ItemCatalogue fallback = catalogueOf(kFallback);
    for (int i = 0; i < 1500; ++i) {
        std::string text(random() % 1500, ' ');
        for (auto& ch : text) ch = alphabet[random() % alphabet.size()];
        if (!text.empty() && i % 3 == 0) text[random() % text.size()] = '\0';
        if (i % 5 == 0) text = "3," + std::to_string(random() % 50) + "\n" + text;
        writeText(folder / kCatalogueFileName, text);
        ItemCatalogue c;
        const int32_t ierr = loadCatalogue(c, folder.path());
        ASSERT_TRUE(ierr >= 0 && ierr <= 2) << "iteration " << i;
        if (ierr != 0) {
            ASSERT_EQ(std::memcmp(&c, &fallback, sizeof c), 0) << "iteration " << i;
        }
        ASSERT_GE(c.nrecords, 0);
        ASSERT_LE(c.nrecords, kCatalogueRecords);
        for (int r = 0; r < kCatalogueRecords; ++r) {
            ASSERT_GE(c.nitems[r], 0);
            ASSERT_LE(c.nitems[r], kCatalogueItems);
            for (int k = 0; k < kCatalogueItems; ++k)
                ASSERT_NE(std::memchr(c.text[r][k], '\0', kItemNameSize), nullptr);
        }
    }
}

}  // namespace
}  // namespace korvane
