// The scene file's 79 lines (tests/data/scene-lines.tsv): the control each is written from and read
// into, where Load and Save let pending input go, what it holds, and what each line of a file of
// odd lines and mixed line ends (tests/data/odd-lines.scene), read as Load reads it, does.
#include "scene/SceneFormat.h"
#include "host/TextFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(SceneFormat, LinesTable)
{
    const char* const drains[2][2] = {{"-", "save"}, {"load", "load save"}};
    const std::vector<Words> rows = ReadTable("scene-lines.tsv");
    ASSERT_EQ(rows.size(), SceneLines().size());
    TextFile file;
    ASSERT_TRUE(OpenFileForReading(file, QStringLiteral(QUILLON_TEST_DATA_DIR "/odd-lines.scene")));
    for (int number = 1; const SceneLine& line : SceneLines()) {
        const SceneLineEffect effect = InterpretSceneLine(line, ReadLine(file));
        std::string shown =
            effect.setsText ? "text \"" + effect.text.toStdString() + '"' : "state " + std::to_string(effect.state);
        shown += effect.runsHandler ? " handler" : "";
        shown += effect.zeroValueField ? " shows 0 in " + std::to_string(effect.zeroValueField) : "";
        shown += effect.freedLink ? " frees " + std::to_string(effect.freedLink) : "";
        const Words& row = rows[static_cast<std::size_t>(number - 1)];
        EXPECT_EQ((Words{std::to_string(number), std::to_string(line.source), std::to_string(line.target),
                         drains[LoadDrainsAfter(number)][SaveDrainsAfter(number)],
                         SceneLineText(line, QStringLiteral("75"), 1).toStdString(), shown, row.back()}),
                  row);
        ++number;
    }
}
