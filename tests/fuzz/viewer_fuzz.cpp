// The viewer's readers: the first byte of the input chooses a MIF file
// (with the MID of the second piece) or a shapefile (with the DBF of the
// second piece).
#include "fuzz_support.h"
#include "view/readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace zalor;
    if (size == 0) return 0;
    const std::string dir = fuzz::ScratchDir();
    const auto pieces = fuzz::Pieces(data + 1, size - 1, 2);
    view::DrawingModel model;
    if (data[0] & 1) {
        fuzz::WriteFile(dir + "F.MIF", pieces[0]);
        fuzz::WriteFile(dir + "F.MID", pieces[1]);
        view::MifReader::Read(dir + "F.MIF", model);
    } else {
        fuzz::WriteFile(dir + "F.SHP", pieces[0]);
        fuzz::WriteFile(dir + "F.DBF", pieces[1]);
        view::ShpReader::Read(dir + "F.SHP", model);
    }
    return 0;
}
