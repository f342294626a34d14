// Table-driven check of the data a procedure refuses: each text is refused before the first draw, with a
// message that names the file and says what is wrong.
#pragma once

#include "analysis/Procedure.h"
#include "engine/DataFile.h"

#include <gtest/gtest.h>

#include <string>

namespace brevant::testing {

struct Refusal {
    const char* text;  // the data file's text
    const char* says;  // a part of the message that tells what is wrong
};

// run(file, generator, control) runs the procedure on the file as the window or the batch tool would.
template <class Run, class Cases>
void ExpectRefused(Run run, const Cases& cases) {
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.text);
        Generator generator{Seeds{1, 2, 3}};
        RunControl control;
        try {
            DataFile file = DataFile::FromText(c.text, "bad.dat");
            run(file, generator, control);
            ADD_FAILURE() << "not refused";
        } catch (const DataFileError& e) {
            const std::string message = e.what();
            EXPECT_TRUE(message.starts_with("The data file \"bad.dat\"")) << message;
            EXPECT_NE(message.find(c.says), std::string::npos) << message;
        }
        EXPECT_EQ(generator.seeds, (Seeds{1, 2, 3})) << "a refused file must not draw";
    }
}

// The same for a procedure run the plain way, at 1,000 resamples and 95 %.
template <class Cases>
void ExpectRefused(RunResult (*procedure)(DataFile&, const RunSettings&, Generator&, RunControl&),
                   const Cases& cases) {
    ExpectRefused([procedure](DataFile& file, Generator& generator,
                              RunControl& control) { procedure(file, {1000, 0.975f, {}}, generator, control); },
                  cases);
}

}  // namespace brevant::testing
