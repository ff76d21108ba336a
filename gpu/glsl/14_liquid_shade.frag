out vec4 o;
float Z(vec2 c){return texelFetch(TB,clamp(ivec2(c),ivec2(0),ivec2(RES)-1),0).r;}
// Scene lookups stay inside the rendered area.
vec3 S(vec2 c){return texture(TA,clamp(c,vec2(.5),RES-.5)/vec2(textureSize(TA,0))).rgb;}
void main(){
 vec2 c=gl_FragCoord.xy,s=fc(),X=vec2(1,0),e=2./RES.y*X;
 vec3 bg=texelFetch(TA,ivec2(c),0).rgb,ro,ta;
 float z=Z(c),fl,zr=Z(c+X),zl=Z(c-X),zu=Z(c+X.yx),zd=Z(c-X.yx),m=0.;
 if(z>1000.){o=vec4(bg,1);return;}
 camera(BAR,ro,ta,fl);
 mat3 M=cam(ro,ta,0.);
 vec3 Pc=vec3(s/fl*z,z),v=normalize(Pc),
  dx=abs(zr-z)<abs(z-zl)?vec3((s+e)/fl*zr,zr)-Pc:Pc-vec3((s-e)/fl*zl,zl),
  dy=abs(zu-z)<abs(z-zd)?vec3((s+e.yx)/fl*zu,zu)-Pc:Pc-vec3((s-e.yx)/fl*zd,zd),
  n=normalize(cross(dy,dx));
 if(dot(n,v)>0.)n=-n;
 vec3 r=reflect(v,n),rw=M*r,metal=BAR>=72.?vec3(1,.72,.35):vec3(.75,.78,.85);
 float fre=pow(1.-max(dot(-v,n),0.),5.);
 vec3 col=(2.*stage(ro+M*Pc,rw)+1.2*S(c+r.xy*RES.y*.25))*mix(metal,vec3(1),fre)
  +metal*vec3(1,.9,.8)*pow(max(dot(rw,normalize(vec3(.4,.8,-.4))),0.),80.)*6.;
 col=mix(col,S(c-n.xy*RES.y*.05)*vec3(.7,.85,1),.25*(1.-fre));
 for(int k=0;k<8;k++)if(Z(c+vec2(ivec2(3.*vec2(cos(float(k)*.785),sin(float(k)*.785)))))>=1000.)m++;
 o=vec4(mix(col,bg+.4*vec3(.9,.95,1),m*.1),1);
}
