const float PI=3.14159265,FLOOR=-2.4;
const int ROWS=32;

// ---- hashes
float h21(vec2 p){p=fract(p*vec2(123.34,456.21));p+=dot(p,p+45.32);return fract(p.x*p.y);}
vec3 h33(vec3 p){p=fract(p*vec3(.1031,.103,.0973));p+=dot(p,p.yxz+33.33);return fract((p.xxy+p.yxx)*p.zyx);}
float vn(vec3 p){
 vec3 i=floor(p),f=fract(p);f=f*f*(3.-2.*f);
 return mix(mix(mix(h33(i).x,h33(i+vec3(1,0,0)).x,f.x),mix(h33(i+vec3(0,1,0)).x,h33(i+vec3(1,1,0)).x,f.x),f.y),
            mix(mix(h33(i+vec3(0,0,1)).x,h33(i+vec3(1,0,1)).x,f.x),mix(h33(i+vec3(0,1,1)).x,h33(i+vec3(1,1,1)).x,f.x),f.y),f.z);
}
uint pcg(uint v){uint s=v*747796405u+2891336453u;uint w=((s>>((s>>28u)+4u))^s)*277803737u;return (w>>22u)^w;}
float rnd(uint i,uint k){return float(pcg(i*16u+k))*(1./4294967296.);}
vec3 sph(uint i,uint k){float z=2.*rnd(i,k)-1.,a=rnd(i,k+1u)*6.2832,r=sqrt(1.-z*z);return vec3(r*cos(a),r*sin(a),z);}
float gs(uint i,uint k){return (rnd(i,k)+rnd(i,k+1u)+rnd(i,k+2u)-1.5)*1.2;}
vec3 flow(vec3 p,float t){
 return vec3(sin(p.z+t)+cos(p.y),sin(p.x-.7*t)+cos(p.z),sin(p.y+.5*t)+cos(p.x))
  +.5*vec3(sin(2.3*p.y-t),sin(2.1*p.z+t),sin(2.7*p.x-1.3*t));
}

// ---- geometry
mat2 rot(float a){float c=cos(a),s=sin(a);return mat2(c,s,-s,c);}
mat3 cam(vec3 ro,vec3 ta,float r){vec3 w=normalize(ta-ro),u=normalize(cross(w,vec3(sin(r),cos(r),0))),v=cross(u,w);return mat3(u,v,w);}
#define fc() ((gl_FragCoord.xy*2.-RES)/RES.y)
// Written out: GLSL's smoothstep is undefined for falling edges, used here.
float ss(float a,float b,float x){float t=clamp((x-a)/(b-a),0.,1.);return t*t*(3.-2.*t);}

// ---- text
float glyph(int c,vec2 q,float lod){
 if(c<33||c>127)return 0.;
 c-=32;
 return textureLod(TF,(vec2(c%16,c/16)+vec2(q.x,1.-q.y))*vec2(64,128)/vec2(1024,768),lod).r;
}
int rowLen(int r){int n=0;for(;n<64;n++)if(texelFetch(TT,ivec2(n,r),0).r==0u)break;return n;}
float text(int r,vec2 p,vec2 o,float h,bool center){
 if(center)o.x-=float(rowLen(r))*h*.25;
 vec2 g=(p-o)/vec2(h*.5,h);
 if(g.y<0.||g.y>1.||g.x<0.||g.x>=64.)return 0.;
 return glyph(int(texelFetch(TT,ivec2(int(g.x),r),0).r),fract(g),max(0.,log2(256./(h*RES.y))));
}
int exeByte(int i){return int(texelFetch(TE,ivec2(i%256,(i/256)%256),0).r*255.+.5);}
int hexc(int v){return v<10?48+v:87+v;}

// ---- show schedule
const int SHAPES[92]=int[](0,0,1,1,2,2,3,3,4,4,16,16,12,12,7,7,13,13,13,13,3,3,9,9,
 10,10,31,31,11,11,2,2,12,12,30,30,16,16,27,14,8,8,32,32,3,3,9,9,
 10,10,16,16,11,11,28,28,17,17,2,2,15,15,29,14,19,19,20,20,23,23,24,9,
 26,26,21,21,22,22,25,25,17,17,10,10,2,2,33,14,18,18,7,7);
int shapeAt(float bar){return PLAY.x>=0.?int(PLAY.x):SHAPES[clamp(int(bar),0,91)];}
float isDrop(float bar){
 if(PLAY.x>=0.)return 0.;
 return (bar>=24.&&bar<=40.)||(bar>=48.&&bar<=64.)||(bar>=72.&&bar<=88.)?1.:0.;
}
float isCalm(float bar){return (bar>=16.&&bar<=24.)||(bar>=40.&&bar<=48.)?1.:0.;}
int textRow(float bar){return bar<8.?23:bar<40.?24:bar<72.?26:25;}

// ---- camera: every pass sees the same eye
void camera(float bar,out vec3 ro,out vec3 ta,out float fl){
 int s=shapeAt(bar);
 float t=bar*1.7142857,dr=isDrop(bar);
 ta=vec3(0,-.2,0);
 if(s==11){ro=vec3(0,0,-1);ta=vec3(.4*sin(.9*t),.3*cos(.7*t),6);fl=1.3;return;}
 if(s==2){ro=vec3(1.2*sin(.35*t),.3+.25*sin(.5*t),10.5-1.2*fract(bar/2.));ta=vec3(0,.1,0);fl=2.2;return;}
 float k=dr>.5?(bar<48.?floor(bar):floor(2.*bar)):floor(bar/2.);
 vec3 h=h33(vec3(k,3.1,7.7));
 float a=6.283*h.x+t*(.12+.25*h.z)*(h.y>.5?1.:-1.),el=mix(-.05,.7,h.y),d=mix(5.6,9.,h.z);
 fl=mix(1.5,2.6,h.x);
 if(dr<.5){a=.13*t+1.;el=.3+.15*sin(.11*t);d=7.5;fl=1.8;}
 if(PLAY.x>=0.){a+=U[5].z;d*=1.+U[5].w;}
 if(s==0){a=.08*t+.6;el=.95-.15*bar;d=7.;fl=1.7;}
 if(s==8){el=.13;d=6.;ta.y=-1.6;fl=1.6;}
 if(s==13){d=9.5;el=.25;ta.y=.3;}
 if(s==14){el=.18;d=7.;ta.y=-1.2;}
 if(s==15)ta.y=.8;
 if(s==10)d+=3.5;
 if(s==19||s==25||s==26)d=mix(7.,9.,h.z);
 if(s==20||s==23){a=1.5708+.5*sin(.4*t);el=.15;d=7.;}
 if(s==19){float z=ss(64.,66.,bar);d=mix(3.6,8.5,z);fl=mix(1.,2.4,z);el=.12;}
 if(s==21){d=11.;el=.3;}
 if(s==24)ta.y=.3;
 if(s==30){d=10.;el=mix(.2,.9,h.y);}
 if(s==32){d=8.;ta.y=.2;}
 if(s==33){ta.y=.5;d=8.;}
 if(s==16){el=mix(.02,.3,h.y);d=mix(6.,8.,h.z);ta.y=-.3;}
 if(s==17){el=mix(.05,.35,h.y);d=mix(9.,12.,h.z);ta.y=-.6;}
 if(s==18){el=.2;d=11.;ta.y=1.5;a=.05*t;}
 ro=vec3(cos(a)*cos(el),sin(el),sin(a)*cos(el))*d;
 ro.y=max(ro.y,FLOOR+.35);
 ro+=(h33(vec3(floor(40.*t),1,2))-.5)*.12*KICK*KICK*dr;
}

// ---- stage
vec3 tint(float bar){
 return bar<8.?vec3(1,.5,.2):bar<16.?vec3(.3,.6,1):bar<24.?vec3(.3,.4,1):bar<40.?vec3(1,.45,.2)
  :bar<48.?vec3(.5,.35,1):bar<64.?vec3(1,.7,.4):bar<72.?vec3(.8,.5,1):bar<88.?vec3(.2,.8,1):vec3(1,.5,.25);
}
// Closest approach of the view ray and the line o+d*s: (distance, along ray, along line).
vec3 beam(vec3 ro,vec3 rd,vec3 o,vec3 d){
 vec3 w=ro-o;float b=dot(rd,d),e=dot(d,w),f=dot(rd,w),n=max(1.-b*b,1e-4),r=(b*e-f)/n,l=(e-b*f)/n;
 return vec3(length(w+rd*r-d*l),r,l);
}
float hall(vec3 q){
 float s=.5236,a=mod(atan(q.z,q.x)+s/2.,s)-s/2.;
 vec2 p=length(q.xz)*vec2(cos(a),sin(a));
 return length(p-vec2(7.5,0))-.5-.03*sin(16.*atan(p.y,p.x-7.5));
}
vec3 pillars(vec3 ro,vec3 rd,vec3 col,float tf){
 float t=.5,d;
 for(int i=0;i<64;i++){d=hall(ro+rd*t);if(d<.002||t>tf)break;t+=d;}
 if(d>.01||t>tf)return col;
 vec3 P=ro+rd*t,tc=tint(BAR);vec2 e=vec2(.002,0);
 vec3 r=reflect(rd,normalize(vec3(hall(P+e.xyy)-hall(P-e.xyy),0,hall(P+e.yyx)-hall(P-e.yyx))));
 float band=exp(-40.*abs(fract(.35*P.y-.6*T+.3*atan(P.z,P.x))-.5));
 return mix(.04*tc*(1.+r.y)+.8*tc*band*(1.+3.*KICK)+.6*vec3(1,.9,.8)*pow(max(dot(r,normalize(-P)),0.),24.),col,1.-exp(-.03*t));
}
vec3 stage(vec3 ro,vec3 rd){
 vec3 tc=tint(BAR),col=vec3(.003,.004,.008)+.012*tc*exp(-4.*abs(rd.y)),b;
 float dr=isDrop(BAR),tf=60.;
 if(rd.y>0.){
  vec3 q=3.*rd+vec3(.02*T,0,0);
  float n=.6*vn(q)+.3*vn(2.3*q)+.1*vn(5.1*q);
  col+=.05*tc*n*n*n*ss(0.,.4,rd.y)+vec3(.7,.75,1)*pow(CRASH,6.)*dr
   *(.15+3.*exp(-80.*abs(rd.x-.6*sin(7.*floor(2.*T))+.15*(vn(30.*rd)-.5))))*ss(.1,.5,rd.y);
 }
 if(rd.y<0.){
  // An eye under the floor (liquid reflections) sees no floor behind it.
  tf=max((FLOOR-ro.y)/rd.y,0.);
  vec3 P=ro+tf*rd;
  vec2 g=abs(fract(P.xz/2.)-.5);
  float px=tf/RES.y,m=min(g.x,g.y),rr=length(P.xz);
  col=mix(tc*(exp(-m*m/(.5*px*px+1e-5))*.06*(1.+2.5*KICK*dr)+exp(-.45*rr)*(.03+.1*KICK+.3*IMPACT)
   +exp(-5.*abs(rr-9.*(1.-KICK)))*KICK*.25*(dr+.3))+vec3(.006,.007,.01),col,1.-exp(-.06*tf));
 }
 if(dr>.5){
  for(int k=0;k<4;k++){
   float f=float(k);
   b=beam(ro,rd,vec3(3.*f-4.5,7,-2),normalize(vec3(.5*sin(.7*T+2.*f),-1,.4*cos(.5*T+f))));
   if(b.y>0.&&b.z>0.)col+=.035*tc*exp(-b.x/(.08+.12*b.z))*(1.+2.*CLAP)*exp(-.08*b.z);
  }
  for(int k=0;k<6;k++){
   float f=float(k),sd=k<3?-1.:1.;
   b=beam(ro,rd,vec3(6.5*sd,4.5,-8),normalize(vec3(-.35*sd+.55*sin(.9*T+1.7*f),-.45+.25*sin(1.3*T+2.1*f),1)));
   if(b.y>0.&&b.z>0.&&h21(vec2(floor(2.*BEAT),f))>=.5)
    col+=(k%3==0?vec3(.2,1,.4):k%3==1?vec3(1,.2,.6):vec3(.3,.6,1))*(.9*exp(-9000.*b.x*b.x)+.0005/(b.x*b.x+.0015))*exp(-.05*b.y);
  }
 }
 return BAR>=64.&&BAR<72.?pillars(ro,rd,col,tf):col;
}
