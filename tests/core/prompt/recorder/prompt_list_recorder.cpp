#include "tests/core/prompt/recorder/prompt_list_recorder.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

namespace {

int s_failures = 0;

std::string text(const dvk_ucs2_Char* s)
{
    std::string out;
    for (; s != nullptr && *s != 0; ++s)
        out.push_back(*s < 128 ? static_cast<char>(*s) : '?');
    return out;
}

void record(dvk_prompt_List* list, const std::string& call)
{
    DVK_ASSERT(list != DVK_NULL);
    if (s_failures > 0) {
        --s_failures;
        list->errorFlag = 1;
        return;
    }
    recordedPromptCalls().push_back(call);
}

} // namespace

std::vector<std::string>& recordedPromptCalls()
{
    static std::vector<std::string> calls;
    return calls;
}

void failNextPromptAdds(int n)
{
    s_failures = n;
}

void resetPromptListRecorder()
{
    recordedPromptCalls().clear();
    s_failures = 0;
}

dvk_prompt_List* dvk_prompt_createPromptList(dvk_vre_Recognizer* vre, int32_t speed, int32_t volume)
{
    auto* list = static_cast<dvk_prompt_List*>(dvk_mem_alloc(sizeof(dvk_prompt_List)));
    if (list != nullptr) {
        *list = dvk_prompt_List{};
        list->vre = vre;
        list->speed = speed;
        list->volume = volume;
    }
    return list;
}

void dvk_prompt_destroyPromptList(dvk_prompt_List** list)
{
    DVK_ASSERT(list != DVK_NULL);
    dvk_mem_dealloc(list);
}

int32_t dvk_prompt_getPromptListCount(dvk_prompt_List*)
{
    return static_cast<int32_t>(recordedPromptCalls().size());
}

int32_t dvk_prompt_checkErrorFlag(dvk_prompt_List* list)
{
    DVK_ASSERT(list != DVK_NULL);
    return list->errorFlag;
}

void dvk_prompt_addPrompt(dvk_prompt_List* list, dvk_prompt_Table*, int32_t id)
{
    record(list, "addPrompt " + std::to_string(id));
}

void dvk_prompt_addText(dvk_prompt_List* list, const dvk_ucs2_Char* s)
{
    record(list, "addText " + text(s));
}

void dvk_prompt_addWords(dvk_prompt_List* list, const int32_t* wordIds, int32_t count)
{
    std::string call = "addWords";
    for (int32_t i = 0; i < count; ++i)
        call += " " + std::to_string(wordIds[i]);
    record(list, call);
}

void dvk_prompt_addEarcon(dvk_prompt_List* list, int32_t earcon)
{
    record(list, "addEarcon " + std::to_string(earcon));
}

void dvk_prompt_addVocData(dvk_prompt_List* list, dvk_oem_audio_VocoderType vocoderType, const uint8_t*,
                           int32_t length)
{
    record(list, "addVocData " + std::to_string(vocoderType) + " " + std::to_string(length));
}

void dvk_prompt_addPCMData(dvk_prompt_List* list, const int16_t*, int32_t count)
{
    record(list, "addPCMData " + std::to_string(count));
}

dvk_prompt_Stream* dvk_prompt_addStreamingVocData(dvk_prompt_List* list, dvk_oem_audio_VocoderType vocoderType,
                                                  int32_t leadMs)
{
    record(list, "addStreamingVocData " + std::to_string(vocoderType) + " " + std::to_string(leadMs));
    return nullptr;
}

void dvk_prompt_updateStreamingVocData(dvk_prompt_List* list, dvk_prompt_Stream*, const uint8_t*, int32_t length)
{
    record(list, "updateStreamingVocData " + std::to_string(length));
}

void dvk_prompt_finalizeStreamingVocData(dvk_prompt_List* list, dvk_prompt_Stream** stream)
{
    record(list, "finalizeStreamingVocData");
    *stream = nullptr;
}

void dvk_prompt_addMenuIndex(dvk_prompt_List* list, int32_t n)
{
    record(list, "addMenuIndex " + std::to_string(n));
}

void dvk_prompt_addDigitsText(dvk_prompt_List* list, const dvk_ucs2_Char* s)
{
    record(list, "addDigitsText " + text(s));
}

void dvk_prompt_addStringId(dvk_prompt_List* list, dvk_string_Table*, int32_t id)
{
    record(list, "addStringId " + std::to_string(id));
}

void dvk_prompt_addDigits(dvk_prompt_List* list, dvk_prompt_Table*, const dvk_ucs2_Char* number)
{
    record(list, "addDigits " + text(number));
}

void dvk_prompt_addLocation(dvk_prompt_List* list, dvk_prompt_Table*, dvk_string_Table*,
                            const dvk_ucs2_Char* location)
{
    record(list, "addLocation " + text(location));
}

int32_t dvk_prompt_playPromptList(dvk_prompt_List* list, dvk_prompt_DoneCallback)
{
    record(list, "play");
    return 0;
}

int32_t dvk_prompt_stopPromptList(dvk_prompt_List* list)
{
    record(list, "stop");
    return 0;
}
