// zalor-mkcounty: writes a synthetic TIGER/Line county (the record files
// TGRssccc.RT1 ... .RTS, optionally their archive TGRssccc.ZIP) and the
// ground truth TGRssccc.truth.json that a correct conversion must match.
// --vintage picks the release whose record layouts, record files, codes and
// datum the county follows; one seed gives the same county in every release.
//
//   zalor-mkcounty --state SS --county CCC --chains N --seed S --out DIR
//                  [--vintage 1990|1992|1994|1995|1997|1998|1999|2000|2002|2003|2004|2005|2006]
//                  [--zip] [--lf]
//                  [--curved-streets PERCENT] [--quiet]
#include "model.h"
#include "records.h"
#include "truth.h"

#include <CLI/CLI.hpp>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

bool AllDigits(const std::string& s)
{
    for (char ch : s)
        if (ch < '0' || ch > '9') return false;
    return !s.empty();
}

void WriteWhole(const std::filesystem::path& path, const std::string& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot create " + path.string());
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) throw std::runtime_error("cannot write " + path.string());
}

// The archive, deflated, with a fixed member date so that a seed always
// gives the same bytes.
void WriteArchive(const std::filesystem::path& path, const std::vector<std::pair<std::string, std::string>>& files)
{
    zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zf) throw std::runtime_error("cannot create " + path.string());
    bool ok = true;
    for (const auto& [name, bytes] : files) {
        zip_fileinfo info{};
        info.tmz_date.tm_year = 2006;
        info.tmz_date.tm_mon = 9; // October (0-based)
        info.tmz_date.tm_mday = 1;
        if (zipOpenNewFileInZip64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_DEFAULT_COMPRESSION, bytes.size() >= 0xFFFFFFFFu) != ZIP_OK) {
            ok = false;
            break;
        }
        size_t done = 0;
        while (ok && done < bytes.size()) {
            unsigned n = static_cast<unsigned>(std::min<size_t>(bytes.size() - done, 1u << 30));
            ok = zipWriteInFileInZip(zf, bytes.data() + done, n) == ZIP_OK;
            done += n;
        }
        ok = zipCloseFileInZip(zf) == ZIP_OK && ok;
        if (!ok) break;
    }
    ok = zipClose(zf, nullptr) == ZIP_OK && ok;
    if (!ok) throw std::runtime_error("cannot write " + path.string());
}

// What is wrong with the parameters, or nullptr.
const char* BadParams(const mkcounty::Params& p)
{
    if (p.state.size() != 2 || !AllDigits(p.state)) return "--state must be two digits";
    if (p.county.size() != 3 || !AllDigits(p.county)) return "--county must be three digits";
    if (p.chains < 1 || p.chains > 4000000) return "--chains must be between 1 and 4000000";
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Writes a synthetic TIGER/Line county and its ground truth."};
    mkcounty::Params p;
    std::string out;
    bool zip = false, lf = false, quiet = false;
    app.add_option("--state", p.state, "two-digit state code")->required();
    app.add_option("--county", p.county, "three-digit county code")->required();
    app.add_option("--chains", p.chains, "approximate number of chains")->required();
    app.add_option("--seed", p.seed, "seed of the county's content")->required();
    app.add_option("--out", out, "output directory (created when missing)")->required();
    app.add_flag("--zip", zip, "also write TGRssccc.ZIP holding the record files");
    app.add_flag("--lf", lf, "end records with LF only (default CR LF)");
    app.add_flag("--quiet", quiet, "print nothing on success");
    app.add_option("--vintage", p.vintage,
                   "the release whose layouts, record files and codes the county follows: 1990 (1990 Census,\n"
                   "version 0003), 1992 (0005), 1994 (0021), 1995 (0024), 1997 (1097), 1998 (1298), 1999\n"
                   "(0700), 2000 (Census 2000, 0301), 2002 (1002), 2003 (1203), 2004 (0404), 2005 (0505) or\n"
                   "2006 (Second Edition, 0806); before 2000 RT3 holds the 1990 codes of the chain sides,\n"
                   "1990 and 1992 have no RTS, RTC or RT9, and coordinates are on NAD27 before 1995 (Hawaii,\n"
                   "Puerto Rico and the Pacific Island Areas: their local datums); from 2002 RTA holds\n"
                   "current codes and RTS the Census 2000 ones, RTP replaces RT9 (default 2000)")
        ->check(CLI::IsMember({1990, 1992, 1994, 1995, 1997, 1998, 1999, 2000, 2002, 2003, 2004, 2005, 2006}));
    app.add_option("--curved-streets", p.curvedStreets,
                   "percent of the local streets that curve, with 2 to 30 shape points each, as in an urban\n"
                   "county whose RT2 is about as large as its RT1 (default 0: a few curves)")
        ->check(CLI::Range(0, 100));
    app.add_flag("--accented-names", p.accentedNames,
                 "spell names with the accented letters of Latin-1 (bytes above 127): the county, streets,\n"
                 "landmarks, places and a school district, some as long as their record fields allow");
    CLI11_PARSE(app, argc, argv);
    if (const char* bad = BadParams(p)) {
        std::cerr << "zalor-mkcounty: " << bad << "\n";
        return 2;
    }
    try {
        auto t0 = std::chrono::steady_clock::now();
        mkcounty::County county = mkcounty::BuildCounty(p);
        auto files = mkcounty::RecordFiles(county, lf);
        std::filesystem::path dir(out);
        std::filesystem::create_directories(dir);
        for (const auto& [name, bytes] : files) WriteWhole(dir / name, bytes);
        std::string base = "TGR" + county.code;
        WriteWhole(dir / (base + ".truth.json"), mkcounty::TruthJson(county, p.chains));
        if (zip) WriteArchive(dir / (base + ".ZIP"), files);
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
        if (!quiet)
            std::cout << base << ": " << county.chains.size() << " chains, " << county.polygons.size()
                      << " polygons, " << ms << " ms\n";
    } catch (const std::exception& e) {
        std::cerr << "zalor-mkcounty: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
