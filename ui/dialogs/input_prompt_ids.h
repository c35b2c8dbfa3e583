// Resource numbers of the input prompt: its dialog, controls, pictures and the prompts
// the panels ask with.
#pragma once

#define IDD_INPUT_PROMPT 1180
#define IDC_PROMPT_TEXT 1020
#define IDC_PROMPT_LINE 890
#define IDC_PROMPT_PICTURE_RIGHT 720
#define IDC_PROMPT_PICTURE_BELOW 710
#define IDP_PROMPT_RIGHT 270
#define IDP_PROMPT_BELOW 260

#define IDS_PROMPT_CHANGE_VALUE 1370
#define IDS_PROMPT_GO_TO_LINE 1410
#define IDS_PROMPT_SEARCH_STRING 1470
#define IDS_PROMPT_INSERT_EXPRESSION 1480
