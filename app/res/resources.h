/* The numbers of the installer's resources: one list for the resource script and for the program. The PNG
   pictures are each also carried in their double-size form, type "PNG2X" under the same number. */
#pragma once

#define MANIFEST_RESOURCE 1
#define APPLICATION_ICON 139

#define PICTURE_WELCOME 129
#define PICTURE_INSTALL_BUTTON 130
#define PICTURE_CLOSE 131
#define PICTURE_CLOSE_HOT 132
#define PICTURE_MINIMIZE 134
#define PICTURE_MINIMIZE_HOT 135
#define PICTURE_SUCCESS 136
#define PICTURE_INSTALLING 137
#define PICTURE_FINISH_BUTTON 138
#define PICTURE_FAILURE_BUSY 140
#define PICTURE_FAILURE_CODE 141
#define PICTURE_FAILURE 142
#define PICTURE_BOX 143
#define PICTURE_BOX_TICKED 144
#define PICTURE_INSTALL_DISABLED 145
#define PICTURE_SUCCESS_RESTART 146
