out vec4 o;
// A row of the word sheet, h high, centred at c; 0 outside it.
float word(float row,vec2 p,vec2 c,float h){
 float u=(p.x-c.x)/(32.*h)+.5;
 return u<0.||u>1.||abs(p.y-c.y)>h*.5?0.:texture(TW,vec2(u,(row+.5-(p.y-c.y)/h)/32.)).r;
}
void main(){
 vec2 ts=vec2(textureSize(TA,0)),uv=gl_FragCoord.xy/ts,d=uv-.5,s=uv*PP.xy,p=(gl_FragCoord.xy*2.-ts)/ts.y;
 float dr=isDrop(BAR),ca=.0015+.006*IMPACT+.004*KICK*dr,f=fract(BAR),fb=floor(BAR),w=0.,a=WAGE;
 if((fb==23.||fb==47.||fb==71.)&&f>.5&&f<.75){
  float sl=floor(f<.625?16.*f:32.*f);
  vec2 bl=floor(uv*vec2(6,18)+sl);
  s.x+=(h21(bl)-.5)*.12*step(.6,h21(bl+sl))*PP.x;ca+=.03;
 }
 vec2 g=d*ca*PP.xy;
 vec3 c=vec3(texture(TA,s-g).r,texture(TA,s).g,texture(TA,s+g).b)+.12*texture(TC,s).rgb/7.,ro,ta,A=vec3(0);
 float fl;camera(BAR,ro,ta,fl);
 vec3 sp=transpose(cam(ro,ta,0.))*-ro;
 // Shafts towards the world origin; none while it is behind the eye.
 if(sp.z>0.){
  vec2 dv=((sp.xy/sp.z*fl*vec2(1./ASPECT,1)*.5+.5)-uv)/14.;
  g=uv+dv*h21(gl_FragCoord.xy);
  float dec=1.;
  for(int i=0;i<14;i++){g+=dv;A+=texture(TB,g*PP.xy).rgb*dec;dec*=.9;}
  c+=A/7.*.024*(1.+KICK*dr);
 }
 for(int k=1;k<5;k++){
  float q=float(k);
  g=.5+(.5-uv)*(.42*q-.2);
  c+=texture(TB,g*PP.xy).rgb/7.*.025*vec3(1.-.15*q,.7,.4+.15*q)*ss(.7,.2,length(g-.5));
 }
 c+=vec3(1,.95,.9)*pow(CRASH,8.)*.8*dr;
 c*=(1.-.8*dot(d,d))*(BAR<24.?vec3(1.05,1,.95):BAR<48.?vec3(1,.98,1.04):BAR<72.?vec3(1.04,1,.97):vec3(.97,1.02,1.06))*(1.+.25*KICK*KICK*dr);
 if(dr<.5)c+=vec3(.004,.002,.008);
 vec3 x=1.1*max(c,0.);
 c=clamp(x*(2.51*x+.03)/(x*(2.43*x+.59)+.14),0.,1.);
 if(WORD>=0.&&a<1.2){
  float lo=BAR<88.&&shapeAt(BAR)==2?1.:0.;
  w=word(WORD,p,vec2(0,BAR<88.?mix(-.05,-.72,lo):.62),mix(.42,.16,lo)*(1.+.25*exp(-14.*a))*(BAR<88.?1.:.45))*ss(0.,.03,a)*ss(1.2,.6,a);
 }
 if(BAR>=88.){
  a=fract(BAR);
  w=max(w,word(BAR<89.?24.:BAR<90.?25.:27.,p,vec2(0,-.05),.22)*step(p.x,(2.6*ss(0.,.35,a)-1.3)*1.6)*ss(1.,.8,a)*ss(91.6,91.,BAR));
  if(BAR>=91.&&BAR<92.)w=max(w,.6*word(28.,p,vec2(0,-.8),.08)*ss(91.,91.3,BAR));
 }
 c=mix(c,vec3(1),.92*w);
 float hd=0.;
 for(int r=0;r<10;r++)hd+=text(r,p,vec2(-ASPECT+.06,.9-.055*float(r)),.045,false);
 c=pow(mix(c,vec3(.6,1,.75),.85*min(hd,1.)),vec3(1./2.2))+(h21(gl_FragCoord.xy+100.*fract(7.*T))-.5)*.03;
 o=vec4(c,1);
}
