// The creation entry points and the model-set query; they run without an
// engine, over the caller's allocator record.
#include "core/brevit/api/brevit.h"

#include "core/brevit/api/brevit_call_frame.h"
#include "core/brevit/api/brevit_create.h"
#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/api/brevit_function_table.h"
#include "core/brevit/api/brevit_version_record.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_tar.h"

#include <cstring>

namespace {

constexpr uint32_t kScratchFirstBlock = 4096;
constexpr uint32_t kScratchBlock = 2048;

bool emptyPath(const char* path)
{
    return path == nullptr || *path == '\0';
}

// The archives a creation opened, closed on every way out.
struct OpenArchives {
    DVKTar* tars[2] = {nullptr, nullptr};

    // 0, or 1 when a close failed.
    int32_t closeAll()
    {
        int32_t failed = 0;
        for (DVKTar*& tar : tars) {
            if (tar != nullptr && DVKTar_Close(tar) != 0)
                failed = 1;
            tar = nullptr;
        }
        return failed;
    }
};

// Runs steps(&engine) on a fresh scratch stack. Whatever fails, also by an
// engine error unwinding, frees what was built and the scratch stack; a
// success hands out the engine with the context it will install.
template <typename Steps>
EBrevit create(BrevitAllocator* allocator, BrevitEngine** handle, OpenArchives* archives, Steps&& steps)
{
    BrevitEngine* building = nullptr;
    return BrevitPriv_CallEngineless(allocator, nullptr, [&] {
        DVKTempMem_SetMemStack(nullptr);
        if (DVKTempMem_CreateMemStack(kScratchFirstBlock, kScratchBlock) == 0)
            return EBrevit_MemoryError;
        EBrevit result = EBrevit_EngineError;
        if (DVKErr_Protect([&] { result = steps(&building); }) != 0) {
            if (building != nullptr)
                building->broken = 1;
            result = EBrevit_EngineError;
        }
        // Archives go back to the allocator they came from, inside the frame.
        if (archives != nullptr)
            archives->closeAll();
        if (result != EBrevit_OK) {
            if (building != nullptr)
                BrevitPriv_DiscardEngine(building);
            DVKTempMem_DeleteMemStack();
            return result;
        }
        building->allocator = allocator;
        building->scratchStack = DVKTempMem_GetMemStack();
        building->functionTable = spBrevitFunctionPointers;
        building->parameters = gpBrevitGlobalParameters;
        building->watchDog = nullptr;
        building->watchDogArgument = nullptr;
        *handle = building;
        return EBrevit_OK;
    });
}

// Loading of one archive, then core initialisation.
EBrevit loadAndInit(DVKTar* tar, BrevitEngine** engine)
{
    const EBrevit loaded = BrevitPriv_LoadModelSet(tar, engine, kBrevitModeModelSet, nullptr);
    return loaded != EBrevit_OK ? loaded : BrevitPriv_InitCore(*engine);
}

} // namespace

EBrevit BrevitPriv_CreateFromArchive(DVKTar* tar, BrevitAllocator* allocator, BrevitEngine** engine)
{
    if (tar == nullptr || engine == nullptr)
        return EBrevit_BadArgument;
    return create(allocator, engine, nullptr, [&](BrevitEngine** building) { return loadAndInit(tar, building); });
}

EBrevit Brevit_CreateFromBinFile(const char* path, BrevitAllocator* allocator, BrevitEngine** engine)
{
    if (engine == nullptr || emptyPath(path))
        return BrevitPriv_LogResult(EBrevit_BadArgument);
    OpenArchives archives;
    return create(allocator, engine, &archives, [&](BrevitEngine** building) {
        archives.tars[0] = DVKTar_OpenForRead(path);
        if (archives.tars[0] == nullptr)
            return EBrevit_BadArgument;
        const EBrevit loaded = BrevitPriv_LoadModelSet(archives.tars[0], building, kBrevitModeModelSet, nullptr);
        const int32_t closeFailed = archives.closeAll();
        if (loaded != EBrevit_OK)
            return loaded;
        if (closeFailed)
            return EBrevit_StoredDataError;
        return BrevitPriv_InitCore(*building);
    });
}

EBrevit Brevit_CreateFromBinFilePair(const char* pathA, const char* pathB, BrevitAllocator* allocator,
                                     BrevitEngine** engine)
{
    if (engine == nullptr || emptyPath(pathA) || emptyPath(pathB))
        return BrevitPriv_LogResult(EBrevit_BadArgument);
    OpenArchives archives;
    return create(allocator, engine, &archives, [&](BrevitEngine** building) {
        BrevitModelSetCRCs crcs[2];
        const char* paths[2] = {pathA, pathB};
        for (int32_t half = 0; half < 2; ++half) {
            archives.tars[half] = DVKTar_OpenForRead(paths[half]);
            if (archives.tars[half] == nullptr)
                return EBrevit_BadArgument;
            const EBrevit loaded =
                BrevitPriv_LoadModelSet(archives.tars[half], building, kBrevitModeModelSetA + half, &crcs[half]);
            if (loaded != EBrevit_OK)
                return loaded;
        }
        if (archives.closeAll())
            return EBrevit_StoredDataError;
        const bool acousticDiffers = crcs[0].frontEnd != crcs[1].frontEnd || crcs[0].model != crcs[1].model;
        if (acousticDiffers && crcs[0].vocabulary != crcs[1].vocabulary)
            return EBrevit_StoredDataError;
        return BrevitPriv_InitCore(*building);
    });
}

EBrevit Brevit_GetBinFileModelSetInfo(const char* path, BrevitAllocator* allocator, int32_t* majorVersion,
                                      int32_t* secondMinorVersion, int32_t languageSize, char* language,
                                      uint32_t* propertyWord1, uint32_t* propertyWord2,
                                      int32_t* synthesisEncoding, int32_t* sampleRate)
{
    return BrevitPriv_CallEngineless(allocator, nullptr, [&] {
        if (path == nullptr || majorVersion == nullptr || secondMinorVersion == nullptr || language == nullptr ||
            languageSize < 1 || propertyWord1 == nullptr || propertyWord2 == nullptr ||
            synthesisEncoding == nullptr || sampleRate == nullptr)
            return EBrevit_BadArgument;
        DVKTempMem_SetMemStack(nullptr);
        if (DVKTempMem_CreateMemStack(kScratchFirstBlock, kScratchBlock) == 0)
            return EBrevit_MemoryError;
        EBrevit result = EBrevit_BadArgument;
        DVKTar* tar = DVKTar_OpenForRead(path);
        if (tar != nullptr) {
            uint8_t presence[kBrevitPresenceSize] = {};
            BrevitVersionRecord rec;
            const bool read = BrevitPriv_ReadVersionRecord(tar, &rec, kBrevitPresenceSize, presence) == 1 &&
                              rec.mode == kBrevitModeModelSet;
            if (DVKTar_Close(tar) != 0)
                result = read ? EBrevit_StoredDataError : EBrevit_BadArgument;
            else if (read) {
                *majorVersion = rec.majorVersion;
                *secondMinorVersion = rec.secondMinorVersion;
                size_t length = std::strlen(rec.language);
                if (length > static_cast<size_t>(languageSize) - 1)
                    length = static_cast<size_t>(languageSize) - 1;
                std::memcpy(language, rec.language, length);
                language[length] = '\0';
                *propertyWord1 = rec.properties[0];
                *propertyWord2 = rec.properties[1];
                *synthesisEncoding = rec.synthesisEncoding;
                *sampleRate = rec.sampleRate;
                result = EBrevit_OK;
            }
        }
        DVKTempMem_DeleteMemStack();
        return result;
    });
}
