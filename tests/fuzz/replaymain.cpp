// Runs a fuzz target over files and directories of inputs, for the ordinary
// build: the seed corpora are replayed by ctest without libFuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace {

bool readFile(const std::string &name, std::vector<uint8_t> *out)
{
    FILE *f = std::fopen(name.c_str(), "rb");
    if (!f)
        return false;
    out->clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out->insert(out->end(), buf, buf + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

void collect(const std::string &path, std::vector<std::string> *files)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return;
    if (!S_ISDIR(st.st_mode)) {
        files->push_back(path);
        return;
    }
    DIR *d = opendir(path.c_str());
    if (!d)
        return;
    std::vector<std::string> names;
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] != '.')
            names.push_back(path + "/" + e->d_name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string &n : names)
        collect(n, files);
}

} // namespace

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i)
        collect(argv[i], &files);
    if (files.empty()) {
        std::fprintf(stderr, "%s: no inputs found\n", argv[0]);
        return 2;
    }
    std::vector<uint8_t> data;
    for (const std::string &name : files) {
        if (!readFile(name, &data)) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], name.c_str());
            return 2;
        }
        std::fprintf(stderr, "%s\n", name.c_str());
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
