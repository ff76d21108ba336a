layout(local_size_x=256) in;
layout(std430,binding=0) buffer B0{vec4 P[];};
layout(std430,binding=1) buffer B1{vec4 V[];};
layout(std430,binding=2) buffer B2{vec4 Q[];};

float bulb(vec3 p){
 vec3 z=p;float dr=1.,r=0.;
 for(int k=0;k<5;k++){
  r=max(length(z),1e-6);if(r>2.)break;
  float th=8.*acos(clamp(z.y/r,-1.,1.)),ph=8.*atan(z.z,z.x);
  dr=8.*pow(r,7.)*dr+1.;z=pow(r,8.)*vec3(sin(th)*cos(ph),cos(th),sin(th)*sin(ph))+p;
 }
 return .5*log(r)*r/dr;
}
vec3 knot(float a){float r=cos(3.*a)+2.;return vec3(r*cos(2.*a),-1.2*sin(3.*a),r*sin(2.*a))*.62;}
float land(vec3 n){return .65*vn(2.1*n+3.)+.35*vn(5.3*n);}

// nearest capsule surface point; the earlier capsule wins a tie
float bd=1e9;vec3 br;
void cap(vec3 p,vec3 a,vec3 b,float r){
 vec3 e=b-a,s=a+e*clamp(dot(p-a,e)/max(dot(e,e),1e-9),0.,1.);float d=length(p-s)-r;
 if(d<bd){bd=d;br=s+normalize(p-s+1e-5)*r;}
}
vec3 dancer(vec3 p,float beat,float up){
 float ph=3.1416*beat,bo=abs(sin(ph)),sw=sin(ph/2.),tw=.35*sw,
  al=mix(-.3+.6*sw,2.6+.4*bo,up),ar=mix(-.3-.6*sw,2.4+.5*bo,up);
 vec3 X=vec3(cos(tw),0,sin(tw)),H=vec3(.12*sw,-.35-.22*bo,0),C=H+vec3(.15*sin(ph/2.+.5),1.15,0),
  N=C+vec3(0,.38,0),D=N+vec3(.08*sw,.32,0),sl=C-.48*X,sr=C+.48*X,hl=H-.22*X,hr=H+.22*X,
  el=sl+vec3(-.2*sin(al)-.15,-cos(al),.15)*.62,er=sr+vec3(.2*sin(ar)+.15,-cos(ar),.15)*.62,
  wl=el+vec3(-.1,-cos(al+.6+.5*bo),.25)*.55,wr=er+vec3(.1,-cos(ar+.6+.5*bo),.25)*.55,
  kl=hl+vec3(-.08,-1,.18+.2*bo),kr=hr+vec3(.08,-1,.18+.2*bo),
  fl=vec3(kl.x,FLOOR+.1,kl.z-.1),fr=vec3(kr.x,FLOOR+.1,kr.z-.1);
 bd=1e9;br=p;
 cap(p,H,C,.34);cap(p,C,C,.4);cap(p,N,D,.12);cap(p,D,D,.3);cap(p,sl,sr,.14);cap(p,sl,el,.12);cap(p,el,wl,.1);
 cap(p,sr,er,.12);cap(p,er,wr,.1);cap(p,hl,hr,.2);cap(p,hl,kl,.17);cap(p,kl,fl,.13);cap(p,hr,kr,.17);cap(p,kr,fr,.13);
 return br;
}

// target of particle i in formation s; rules that break get the final spin
vec3 shape(int s,uint i,float t,vec3 p){
 float u=float(i)/1048576.,bar=BAR;vec3 q;
 switch(s){
 case 0:{uint x=i&1023u,z=i>>10;float b=float(exeByte(int((z>>2)*256u+(x>>2))));
  return vec3((float(x>>2)+.2*float(x&3u)-128.)/128.*3.6,FLOOR+.05+b/255.*1.8*ss(0.,1.5,bar)*(1.+.3*KICK),
   (float(z>>2)+.2*float(z&3u)-128.)/128.*3.6);}
 case 1:{float y=1.-2.*u,r=sqrt(1.-y*y),a=float(i)*2.39996;q=vec3(r*cos(a),y,r*sin(a));
  q*=1.7*(1.+.06*sin(9.*q.y+3.*t)*sin(7.*q.x-2.*t)+.12*KICK);break;}
 case 2:{float row=float(textRow(bar));vec2 c,uv=vec2(.5);  // level 0 texels: filtered reads cost llvmpipe a third of the step
  for(uint k=0u;k<24u;k++){c=vec2(.12+.76*rnd(i,2u*k+20u),rnd(i,2u*k+21u));if(texelFetch(TW,ivec2(c.x*2048.,(row+c.y)*64.),0).r>.5){uv=c;break;}}
  q=vec3(15.*(uv.x-.5),.94*(.45-uv.y)+.15,.3*(rnd(i,9u)-.5));return q+.02*flow(2.*q,2.*t);}
 case 3:{float y=(2.*u-1.)*2.2,r=.15+.55*(y+2.2)*(1.-.8*ss(22.,24.,bar)),a=6.2832*rnd(i,3u)+t*(2.+1.5/r);
  q=vec3(r*cos(a),y,r*sin(a))+.06*sph(i,4u);break;}
 case 4:{float a=6.2832*u;vec3 m=knot(a),n=normalize(knot(a+.001)-m),o=sph(i,4u);
  q=m+normalize(o-n*dot(o,n))*(.16+.03*sin(40.*a+4.*t));break;}
 case 5:{float y=6.*(u-.5),a=1.6*y+.8*t+3.1416*float(i&1u);
  if(rnd(i,3u)<.25){y=floor(4.*y)/4.;a=1.6*y+.8*t;q=vec3(cos(a),0,sin(a))*.85*(2.*rnd(i,4u)-1.);q.y=y;}
  else q=vec3(.85*cos(a),y,.85*sin(a));
  q+=.05*sph(i,5u);break;}
 case 6:{q=.045*(vec3(i&127u,(i>>14)&63u,(i>>7)&127u)-vec3(63.5,31.5,63.5));
  return q*(1.+.15*sin(4.*length(q)-6.*t)*KICK+.1*sin(3.*q.y+2.*t));}
 case 7:if(rnd(i,3u)<.15)q=vec3(gs(i,4u),.6*gs(i,7u),gs(i,10u))*.35;
  else{float r=pow(rnd(i,4u),1.5)*3.2+.15,a=floor(3.*rnd(i,5u))*2.0944+2.4*log(r)+gs(i,6u)*.35/(r+.4)-.25*t/(r+.6);
   q=vec3(r*cos(a),gs(i,9u)*.07*(1.+.2*r),r*sin(a));}
  q.yz*=rot(.35);break;
 case 8:{vec2 g=(vec2(i&1023u,i>>10)-512.)/512.*7.;float d=length(g);
  return vec3(g.x,-1.5+.35*sin(.9*g.x+1.3*t)*sin(.7*g.y+t)+.15*sin(2.1*g.x-1.7*g.y+2.*t)
   +.25*CHOIR*sin(3.*d-4.*t)*exp(-.25*d)+.5*IMPACT*sin(5.*d-10.*t)*exp(-.4*d),g.y);}
 case 9:return sph(i,4u)*(.05+.15*rnd(i,6u))*(1.+3.*KICK);
 case 10:{vec3 c=p/2.3,n=vec3(0),e;c.xz*=rot(-.3*t);float d;
  // the four tetrahedral offsets, then the centre; a loop, as llvmpipe runs an idle one once
  for(int k=0;k<5;k++){e=k>3?vec3(0):vec3(k%3==0?.003:-.003,k>1?.003:-.003,k%2==1?.003:-.003);d=bulb(c+e);n+=e*d;}
  c-=normalize(n)*d;
  if(length(c)>1.6)c=normalize(c)*1.2;c.xz*=rot(.3*t);return 2.3*c;}
 case 12:{vec3 v[4]=vec3[](vec3(1),vec3(1,-1,-1),vec3(-1,1,-1),vec3(-1,-1,1));uint x=i;q=v[x&3u];
  for(int k=0;k<9;k++){x>>=2;q=(q+v[x&3u])/2.;}
  q=2.*q+v[x&3u]*(.35*KICK+.1*sin(2.*t));q.xy*=rot(.6);break;}
 case 15:{vec2 f=vec2(0);
  for(uint k=0u;k<24u;k++){float r=rnd(i,k+10u);
   f=r<.02?vec2(0,.16*f.y):r<.86?vec2(.85*f.x+.04*f.y,-.04*f.x+.85*f.y+1.6)
    :r<.93?vec2(.2*f.x-.26*f.y,.23*f.x+.22*f.y+1.6):vec2(-.15*f.x+.28*f.y,.26*f.x+.24*f.y+.44);}
  q=vec3(.45*f.x,.45*f.y-2.,0);q.xz*=rot(1.2566*floor(5.*rnd(i,40u))+.1*sin(t+f.y));q.x+=.015*f.y*sin(.6*f.y+2.*t);break;}
 case 16:return dancer(p+.02*sph(i,30u),BEAT,isDrop(bar));
 case 17:{float k=float(i%5u)-2.;vec3 o=vec3(2.1*k,0,1.2*abs(k));return dancer(p-o+.02*sph(i,30u),BEAT+.5*k,1.)+o;}
 case 18:{uint h=i&31u;float f=float(h),a=t-.4286*floor(4.*bar-.11*f)-.0471*f;
  return vec3(8.*rnd(h,50u)-4.,1.5+3.*rnd(h,51u),4.*rnd(h,52u)-3.)+sph(i,53u)*(2.2+.4*rnd(i,54u))*(1.-exp(-4.*a))-vec3(0,.9,0)*a*a;}
 case 19:{q=sph(i,60u);for(uint k=0u;k<8u;k++){vec3 c=sph(i,61u+2u*k);if(land(c)>.52){q=c;break;}}
  q*=rnd(i,80u)<.12?2.38:2.2;break;}
 case 20:{float a=6.2832*rnd(i,60u),r=sqrt(rnd(i,61u)),n=sin(a);
  q=vec3(vec2(16.*n*n*n,13.*cos(a)-5.*cos(2.*a)-2.*cos(3.*a)-cos(4.*a))*.11*r,(2.*rnd(i,62u)-1.)*(1.-r*r)*.7)*(1.+.18*KICK);
  q.xz*=rot(.5*sin(.7*t));return q+vec3(0,.3,0);}
 case 21:{float f=float(i&7u),d=1.6*rnd(i,60u),a=t-d;
  return vec3(3.5*sin(.7*a+f),1.3*sin(1.1*a+2.*f)+.6,3.5*cos(.5*a+1.3*f))+sph(i,61u)*(.15+.25*d);}
 case 22:{float a=6.2832*u,b=float(i&1023u)/512.-1.,w=1.8+.6*b*cos(a/2.);
  q=vec3(w*cos(a),1.2*b*sin(a/2.),w*sin(a));q.xy*=rot(.5);break;}
 case 23:{float o=ss(68.,70.,bar),a=6.2832*rnd(i,60u),r=sqrt(rnd(i,61u));
  if(rnd(i,62u)<.1)return .3*sph(i,63u);
  float w=r*(.5+.5*abs(cos(2.5*a)))*2.4*(.3+.7*o);return vec3(w*cos(a),-1.+r*r*(2.4-1.8*o)+.05*sin(5.*a+t),w*sin(a));}
 case 24:{float w=1.+.2*CLAP;
  if(rnd(i,60u)<.55){vec3 n=sph(i,61u);return vec3(1.3*n.x*w,.9*abs(n.y)+.6,1.3*n.z*w);}
  float l=3.5*rnd(i,63u),a=.3927*floor(16.*rnd(i,62u));
  return vec3(cos(a)*(.9+.2*sin(2.*l-4.*t)),.6-l,sin(a)*(.9+.2*cos(2.*l-3.*t)))+.03*sph(i,64u);}
 case 25:if(rnd(i,60u)<.35)q=sph(i,61u);
  else{float r=1.45+1.1*rnd(i,62u);r+=fract(4.*r)>=.6?.05:0.;float a=6.2832*rnd(i,63u)+.6*t/(r*sqrt(r));
   q=vec3(r*cos(a),.01*gs(i,64u),r*sin(a));}
  q.xy*=rot(.4);break;
 case 26:{uint x=i;float c=1.;q=vec3(0);
  for(int k=0;k<4;k++){uint d=x%20u,e=d-8u;x/=20u;vec2 w=vec2(e&1u,(e>>1)&1u)*2.-1.;
   q+=(d<8u?vec3(d&1u,(d>>1)&1u,(d>>2)&1u)*2.-1.:e<4u?vec3(0,w):e<8u?vec3(w.x,0,w.y):vec3(w,0))*c*(1.+.25*KICK);c/=3.;}
  q=(q+(vec3(rnd(i,70u),rnd(i,71u),rnd(i,72u))-.5)*2.*c)*1.6;break;}
 case 27:{vec3 c=sph(i,66u)*pow(rnd(i,67u),.33)*4.8,n;c.xz*=rot(.2*t);
  for(int k=0;k<3;k++){n=cos(c)*cos(c.yzx)-sin(c.zxy)*sin(c);c-=n*dot(sin(c),cos(c.yzx))/max(dot(n,n),.1);}
  if(length(c)>5.)c=normalize(c)*4.8;c.xz*=rot(-.2*t);return c/2.6*(1.+.08*KICK);}
 case 28:{float b=6.2832*rnd(i,60u),a=6.2832*rnd(i,61u),c=cos(a/2.),n=sin(a/2.),w=1.6+c*sin(b)-n*sin(2.*b);
  q=vec3(w*cos(a),n*sin(b)+c*sin(2.*b),w*sin(a))*.85;q.yz*=rot(.4*t);break;}
 case 29:if(rnd(i,60u)<.3)q=sph(i,61u)*sqrt(rnd(i,62u))*.45;
  else{float o=floor(3.*rnd(i,63u)),a=6.2832*rnd(i,64u)+t*(3.+o);q=vec3(2.3*cos(a),2.3*sin(a),0);q.yz*=rot(1.05*o+.4);q.xz*=rot(2.1*o);}
  break;
 case 30:{float g=float(i&1u),r=pow(rnd(i,60u),1.4)*2.2+.1,
   a=floor(2.*rnd(i,61u))*3.1416+2.6*log(r)+gs(i,62u)*.3/(r+.4)-t*.4/(r+.5)*(1.-2.*g),w=2.8*cos(1.4*fract(bar/2.));
  q=vec3(r*cos(a),.06*gs(i,63u),r*sin(a));q.xy*=rot(.9*g);return q+vec3(w,0,.6)*(2.*g-1.);}
 case 31:{vec3 b=sph(i,60u);b=normalize(b*vec3(1,1,.35)+vec3(0,0,.5*sign(b.z)));
  float a=6.2832*rnd(i,61u)+.5*t,h=sqrt(max((1.+b.z)/2.,1e-4)),c=cos(a),n=sin(a);
  vec4 e=normalize(vec4(h*c,h*n,(b.x*c-b.y*n)/(2.*h),(b.x*n+b.y*c)/(2.*h)));
  q=e.xyz/(1.-.85*e.w)*.9;if(length(q)>4.)q=normalize(q)*4.;break;}
 case 33:{vec3 f=vec3(0);
  for(uint k=0u;k<20u;k++){float r=rnd(i,k+70u);
   if(r<.1)f=vec3(0,.5*f.y,0);else{float w=.08*sin(1.5*t+f.y);f*=.62;f.xy*=rot(.55+w);f.xz*=rot(2.094*floor(3.*r)+.5);f.y+=1.;}}
  q=vec3(f.x,1.6*f.y-2.2,f.z)*1.3;break;}
 default:{float a=float(i&4095u)/4096.*6.2832,g=float(i>>12),r=1.6+.25*sin(6.*a+.3*g+3.*t)+.3*KICK;
  return vec3(r*cos(a),r*sin(a),mod(.16*g-7.*t,40.96)-1.);}
 }
 q.xz*=rot(.3*t);return q;
}

void main(){
 uint i=gl_GlobalInvocationID.x;
 float t=T,bar=BAR,dt=DT;int s=shapeAt(bar);
 vec3 o=P[i].xyz,p=o,v=V[i].xyz,tg=p,a=vec3(0);
 if(RESET>.5){
  if(bar<1.){p=shape(0,i,t,p);v=vec3(0);}else{vec3 d=sph(i,1u);float r=rnd(i,3u);p=.03*d;v=d*(3.+12.*r*r);}
  P[i]=vec4(p,1);V[i]=vec4(v,0);Q[i]=vec4(p,1);return;
 }
 Q[i]=vec4(p,1);
 float calm=isCalm(bar),drop=isDrop(bar),ri=rnd(i,7u);
 if(s==13){vec3 l=vec3(p.xz,p.y+3.)*6.5;v=vec3(10.*(l.y-l.x),l.x*l.y-2.6667*l.z,l.x*(28.-l.z)-l.y)/6.5*.3;}
 else if(s==32){vec3 l=p.xzy*.42;float z=l.z-.7;
  v=vec3(z*l.x-3.5*l.y,.6+.95*l.z-l.z*l.z*l.z/3.-dot(l.xy,l.xy)*(1.+.25*l.z)+.1*l.z*l.x*l.x*l.x,3.5*l.x+z*l.y)/.42*.45;}
 else if(s==14)a=vec3(0,-9.8,0)-.15*v;
 else{tg=shape(s,i,t,p);
  a=(tg-p)*(8.+10.*ri)*(s==9||s==16||s==17||s==21||s==27?2.5:s==18?4.:1.)*(1.-.55*calm)-v*(3.+2.*ri);}
 if(s!=13&&s!=32)a+=flow(.9*p,.6*t)*(.25+2.2*calm+(s==3?1.5:0.));
 if(PLAY.x>=0.){
  vec3 ro,ta;float fl;camera(bar,ro,ta,fl);mat3 M=cam(ro,ta,0.);
  vec3 rd=M*normalize(vec3(PLAY.yz,fl)),m=ro+rd*dot(-ro,M[2])/dot(rd,M[2])-p;float l=length(m)+.05;
  a+=m/l*(PLAY.w>.5?-60.*exp(-.7*l):14./(1.+.3*l*l));
 }
 if(s!=11&&s!=0)a+=normalize(p+.0001)*KICK*KICK*KICK*(42.*drop+(bar>=8.&&bar<=16.?25.:0.));
 a+=cross(vec3(0,1,0),p)*CLAP*CLAP*18.*drop;
 for(float k=24.;k<73.;k+=24.)if(bar>=k&&bar<k+.25)dt*=.25;
 v+=a*dt;p+=v*dt;
 if(s==18){v=(tg-o)/max(dt,.001);p=tg;}
 if(s==14&&p.y<FLOOR+.02){p.y=FLOOR+.02;v.y=abs(v.y)*(.35+.3*ri)+3.*KICK*ri;v.xz*=.85;}
 if(length(tg-p)>14.&&s!=13&&s!=32){p=tg;v=vec3(0);Q[i]=vec4(p,1);}
 // the light box: outside it a particle neither receives nor casts shadow
 vec3 g=(p+vec3(6,2.4,6))/vec3(12,9,12);bool n=all(greaterThan(g,vec3(0)))&&all(lessThan(g,vec3(1)));
 P[i]=vec4(p,n?textureLod(TV,g,0.).r:1.);V[i]=vec4(v,0);
 if(n)imageAtomicAdd(GD,ivec3(g*64.),1u);
}
