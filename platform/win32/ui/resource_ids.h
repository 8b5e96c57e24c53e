#pragma once
/* Resource ids shared by parcelvane.rc and the code that loads them: plain defines,
   since the resource compiler reads this file too. */
#define PV_IDI_APP 1
#define PV_IDR_LOGIN_BACKGROUND 101
#define PV_IDR_MAIN_BACKGROUND 102
#define PV_IDR_BANNER 103
#define PV_IDR_QQ_CONTACT_CARD 104
#define PV_IDR_WECHAT_CONTACT_CARD 105
#define PV_IDR_MINI_PROGRAM_CODE 106
