#include "sdk/common/dvk_help.h"

#include "sdk/common/dvk_named_list.h"

DVK_NAMED_LIST_FAMILY(dvk_help, dvk_oem_help, Topic, dvk_help_Iterator, dvk_help_TopicEntry)
