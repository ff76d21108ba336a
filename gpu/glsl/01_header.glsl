#version 430
layout(location=0) uniform vec4 U[8];
layout(binding=0) uniform sampler2D TA;
layout(binding=1) uniform sampler2D TB;
layout(binding=2) uniform sampler2D TC;
layout(binding=3) uniform sampler2D TF;
layout(binding=4) uniform usampler2D TT;
layout(binding=5) uniform sampler2D TE;
layout(binding=6) uniform sampler2D TW;
layout(binding=7) uniform sampler3D TV;
layout(binding=0,r32ui) uniform uimage3D GD;
layout(binding=1,r32f) uniform image3D GL;
#define T U[0].x
#define BEAT U[0].y
#define BAR U[0].z
#define DT U[0].w
#define RESET U[1].x
#define MIRROR U[1].y
#define RES U[1].zw
#define KICK U[2].x
#define CLAP U[2].y
#define HAT U[2].z
#define TOM U[2].w
#define IMPACT U[3].x
#define PLUCK U[3].y
#define CHOIR U[3].z
#define CRASH U[3].w
#define LEAD U[4].x
#define ASPECT U[4].z
#define SCALE U[4].w
#define WORD U[5].x
#define WAGE U[5].y
#define LIQUID U[5].w
#define PP U[6]
#define PLAY U[7]
